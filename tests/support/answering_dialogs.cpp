#include "support/answering_dialogs.h"

namespace corvat::test {

void AnsweringDialogs::MessageBox(const QString& text, MessageIcon icon, const QString& title) {
    m_messages.append(Message{text, icon, title});
}

QString AnsweringDialogs::GetOpenFileName(const QString& filter, const QString& startName) {
    m_fileRequests.append(FileRequest{filter, startName});
    return m_openAnswers.isEmpty() ? QString() : m_openAnswers.dequeue();
}

void AnsweringDialogs::Beep() {
    ++m_beeps;
}

}  // namespace corvat::test
