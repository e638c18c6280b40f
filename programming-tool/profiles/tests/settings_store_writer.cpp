// Helper for the store tests: "write <section> <prefix> <count>" writes count keys
// <prefix>0.. one write at a time; "list <section>" prints the section as key=value lines.
#include "settings_store.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("write")) {
        const int count = args[4].toInt();
        for (int i = 0; i < count; ++i) {
            const QString key = args[3] + QString::number(i);
            if (!SettingsStore::Write(args[2], key, key))
                return 2;
        }
        return 0;
    }
    if (args.size() == 3 && args[1] == QLatin1String("list")) {
        QTextStream out(stdout);
        for (const auto& [key, value] : SettingsStore::ListSection(args[2]))
            out << key << '=' << value << '\n';
        return 0;
    }
    return 1;
}
