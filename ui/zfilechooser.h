#ifndef ZFILECHOOSER_H
#define ZFILECHOOSER_H

#include <QString>

class QWidget;

// Where the window's file commands get their file names from. The program asks the
// standard file dialogs; tests answer with names of their own. An empty name means the
// user cancelled.
class ZFileChooser
{
public:
    virtual ~ZFileChooser() = default;

    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &directory,
                                 const QString &filter)
        = 0;
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &directory,
                                 const QString &filter)
        = 0;
};

// The standard open-file and save-file dialogs.
class ZDialogFileChooser : public ZFileChooser
{
public:
    QString openFileName(QWidget *parent, const QString &caption, const QString &directory,
                         const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &directory,
                         const QString &filter) override;
};

#endif // ZFILECHOOSER_H
