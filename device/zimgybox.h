#ifndef ZIMGYBOX_H
#define ZIMGYBOX_H

#include "zbox.h"

#include <QString>

// A playback box: the input channels of a saved project, read back from its file.
class ZImgyBox : public ZBox
{
public:
    // Each playback box of the process gets the next identifier from FirstImgyBoxId on.
    explicit ZImgyBox(int boxType);
    ~ZImgyBox() override;

    // The project's saving time, as text in the form it was saved.
    QString savedTime() const { return m_savedTime; }
    void setSavedTime(const QString &text) { m_savedTime = text; }

private:
    QString m_savedTime;
};

#endif // ZIMGYBOX_H
