#pragma once
// Answers modal windows opened by exec() inside a click: polls every 10 ms for the active modal
// widget of the wanted kind and hands it to the answer, once.

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <QLineEdit>
#include <QString>

#include <functional>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

template <typename Modal>
void AnswerNextModal(std::function<void(Modal*)> answer)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        auto* modal = qobject_cast<Modal*>(QApplication::activeModalWidget());
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start();
}

// Fills the file for a test.
inline bool WriteFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Types a file name into a non-native file dialog and confirms it, as an operator would.
inline void TypeFileNameAndAccept(QDialog* fileDialog, const QString& name)
{
    auto* edit = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (edit)
        edit->setText(name);
    QMetaObject::invokeMethod(fileDialog, "accept");
}
