#ifndef ZABOUTDIALOG_H
#define ZABOUTDIALOG_H

#include <QDialog>

class QLabel;
class QPushButton;

// The about box, the form "aboutSetting": the logo beside a rights notice, the build and
// version lines the window fills in, and OK.
class ZAboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ZAboutDialog(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());

    QLabel *infoLabel() const { return m_infoLabel; }
    QPushButton *okButton() const { return m_okPushButton; }

private:
    QLabel *m_infoLabel = nullptr;
    QPushButton *m_okPushButton = nullptr;
};

#endif // ZABOUTDIALOG_H
