#pragma once

// Test support: records every message box instead of showing it, and answers
// with queued results (the box's default button when none is queued).

#include "MessageBox.h"

#include <QByteArray>
#include <QList>
#include <QQueue>
#include <QtGlobal>

class MessageBoxRecorder {
public:
    MessageBoxRecorder() {
        m_previous = SetMessageBoxHandler(
            [this](const MessageBoxRequest& request) { return answer(request); });
    }
    ~MessageBoxRecorder() { SetMessageBoxHandler(std::move(m_previous)); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // The next box closes with this result; answers are used in the order queued.
    void queueAnswer(int result) { m_answers.enqueue(result); }
    int pendingAnswers() const { return static_cast<int>(m_answers.size()); }

    const QList<MessageBoxRequest>& records() const { return m_records; }
    int count() const { return static_cast<int>(m_records.size()); }
    const MessageBoxRequest& last() const {
        Q_ASSERT(!m_records.isEmpty());
        return m_records.constLast();
    }
    void clear() {
        m_records.clear();
        m_answers.clear();
    }

private:
    int answer(const MessageBoxRequest& request) {
        m_records.append(request);
        if (m_answers.isEmpty())
            return request.answers.value(0, IDOK);
        const int result = m_answers.dequeue();
        // A queued answer the box cannot give is a broken test, not a user choice.
        if (!request.answers.contains(result))
            qFatal("MessageBoxRecorder: answer %d is not a button of the box \"%s\"", result,
                   request.text.toUtf8().constData());
        return result;
    }

    MessageBoxHandler m_previous;
    QList<MessageBoxRequest> m_records;
    QQueue<int> m_answers;
};
