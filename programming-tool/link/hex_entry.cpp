// Helpers of the hex entry fields.

#include "module1.h"

#include <QLineEdit>

namespace {
constexpr char16_t kBackspace = 8;
}  // namespace

bool IsHexText(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.toUpper().unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F')))
            return false;
    }
    return true;
}

void SelectAllText(QLineEdit* field)
{
    if (field)
        field->setSelection(0, static_cast<int>(field->text().size()));
}

bool HexKeyAllowed(QChar key)
{
    return key.unicode() == kBackspace || IsHexText(QString(key));
}
