#include "ui/zfilechooser.h"

#include <QFileDialog>

QString ZDialogFileChooser::openFileName(QWidget *parent, const QString &caption,
                                         const QString &directory, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QString ZDialogFileChooser::saveFileName(QWidget *parent, const QString &caption,
                                         const QString &directory, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, directory, filter);
}
