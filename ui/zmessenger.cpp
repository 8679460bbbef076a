#include "ui/zmessenger.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

void ZDialogMessenger::warning(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

void ZDialogMessenger::message(const QString &text)
{
    QMessageBox box;
    box.setText(text);
    box.exec();
}

ZMessenger::CloseChoice ZDialogMessenger::askBeforeClosing(QWidget *parent)
{
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(tr("Quoravi"));
    box.setText(tr("The samples of the last run have not been saved."));
    box.setInformativeText(tr("Save them as a project before closing?"));
    QPushButton *save = box.addButton(tr("Save Project"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(tr("Discard"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(tr("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return SaveProject;
    if (box.clickedButton() == discard)
        return Discard;
    return CloseChoice::CancelClose;
}
