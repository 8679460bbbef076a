#ifndef ZSCREENSHOTSESSION_H
#define ZSCREENSHOTSESSION_H

#include "app/zappobservable.h"
#include "ui/zappobserver.h"

#include <QStringList>
#include <QTemporaryDir>

class QTabWidget;

// One pass of pictures: the settings tab, a run shown on the display tab, then the run
// saved as a project and opened again as a playback page.
class ZScreenshotSession
{
public:
    ZScreenshotSession(int boxType, QString folder);

    bool run();
    // The files written, or what went wrong.
    const QStringList &report() const { return m_report; }

private:
    void prepareChannels();
    bool runAcquisition();
    bool openPlayback();
    QTabWidget *realBoxTabs() const;
    bool showTab(const QString &title);
    // False when the settings fit without scrolling.
    bool scrollSettings(bool toEnd);
    bool save(const QString &name);
    bool fail(const QString &why);

    int m_boxType;
    QString m_folder;
    ZAppObservable m_app;
    ZAppObserver m_view;
    QTemporaryDir m_scratch;
    QStringList m_report;
};

#endif // ZSCREENSHOTSESSION_H
