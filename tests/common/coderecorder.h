#ifndef CODERECORDER_H
#define CODERECORDER_H

#include "model/zobservable.h"

#include <QList>
#include <QString>
#include <QStringList>

// Records the codes its subject announces; with a journal, also writes "name:code" and
// "name:detached" lines into it, so that several recorders show their relative order.
template<class T> class CodeRecorder : public ZObserver<T>
{
public:
    explicit CodeRecorder(QString name = QString(), QStringList *journal = nullptr)
        : m_name(std::move(name))
        , m_journal(journal)
    { }
    ~CodeRecorder() override { this->detach(this->subject()); }

    bool update(int code) override
    {
        m_codes.append(code);
        if (m_journal)
            m_journal->append(QStringLiteral("%1:%2").arg(m_name).arg(code, 0, 16));
        return true;
    }
    bool onDetached() override
    {
        if (m_journal)
            m_journal->append(m_name + QStringLiteral(":detached"));
        return true;
    }

    // The codes received since the last take().
    const QList<int> &codes() const { return m_codes; }
    QList<int> take()
    {
        QList<int> codes;
        codes.swap(m_codes);
        return codes;
    }

private:
    QString m_name;
    QStringList *m_journal;
    QList<int> m_codes;
};

#endif // CODERECORDER_H
