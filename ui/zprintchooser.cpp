#include "ui/zprintchooser.h"

#include <QPrintDialog>
#include <QPrinter>

ZPrintChooser standardPrintDialog()
{
    return [](QPrinter &printer) {
        QPrintDialog dialog(&printer);
        return dialog.exec() == QDialog::Accepted;
    };
}
