#pragma once
// Answers the modal boxes a window opens while a test drives it: a timer polls
// QApplication::activeModalWidget() every 10 ms, records each box and answers it.

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <vector>

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class ModalAnswerer {
public:
    ModalAnswerer()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }

    // Called while a message box is up, before it is answered (to look at the window then).
    std::function<void(const SeenBox&)> onBox;
    // Answers a file dialog; without it the dialog is cancelled.
    std::function<void(QFileDialog*)> onFileDialog;
    // Answers any other dialog; without it the dialog is closed unanswered.
    std::function<void(QDialog*)> onDialog;

    const std::vector<SeenBox>& Boxes() const { return boxes_; }
    QStringList Texts() const
    {
        QStringList texts;
        for (const auto& b : boxes_)
            texts << b.text;
        return texts;
    }
    void Clear() { boxes_.clear(); }
    // "objectName:title" of every other modal dialog, which is closed unanswered.
    const QStringList& Dialogs() const { return dialogs_; }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (!box->isVisible())
                return;
            SeenBox seen{box->windowTitle(), box->text(), box->icon()};
            boxes_.push_back(seen);
            if (onBox)
                onBox(seen);
            box->done(QMessageBox::Ok);
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            if (!dialog->isVisible())
                return;
            if (onFileDialog)
                onFileDialog(dialog);
            else
                dialog->reject();
        } else if (auto* other = qobject_cast<QDialog*>(modal)) {
            if (other->isVisible()) {
                dialogs_ << other->objectName() + QLatin1Char(':') + other->windowTitle();
                if (onDialog)
                    onDialog(other);
                else
                    other->reject();
            }
        }
    }

    QTimer timer_;
    std::vector<SeenBox> boxes_;
    QStringList dialogs_;
};
