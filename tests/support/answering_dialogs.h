#pragma once

#include <QList>
#include <QQueue>
#include <QString>

#include "app/dialogs.h"

namespace corvat::test {

// Stands in for the modal dialogs: records every message box, answers the open-file dialog from a
// queue of paths (an empty queue answers as a cancel does), and counts beeps.
class AnsweringDialogs : public Dialogs {
  public:
    struct Message {
        QString text;
        MessageIcon icon = MessageIcon::None;
        QString title;
        bool operator==(const Message&) const = default;
    };

    struct FileRequest {
        QString filter;
        QString startName;
    };

    void MessageBox(const QString& text, MessageIcon icon, const QString& title) override;
    QString GetOpenFileName(const QString& filter, const QString& startName) override;
    void Beep() override;

    void AnswerOpenFile(const QString& path) { m_openAnswers.enqueue(path); }

    const QList<Message>& Messages() const { return m_messages; }
    const QList<FileRequest>& FileRequests() const { return m_fileRequests; }
    int Beeps() const { return m_beeps; }

  private:
    QList<Message> m_messages;
    QList<FileRequest> m_fileRequests;
    QQueue<QString> m_openAnswers;
    int m_beeps = 0;
};

}  // namespace corvat::test
