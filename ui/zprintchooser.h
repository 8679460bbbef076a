#ifndef ZPRINTCHOOSER_H
#define ZPRINTCHOOSER_H

#include <functional>

class QPrinter;

// Lets the user set up the printer before something is printed; true when printing
// should go ahead. The window asks with the standard print dialog; tests set up a PDF
// file instead.
using ZPrintChooser = std::function<bool(QPrinter &printer)>;

ZPrintChooser standardPrintDialog();

#endif // ZPRINTCHOOSER_H
