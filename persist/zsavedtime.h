#ifndef ZSAVEDTIME_H
#define ZSAVEDTIME_H

#include <QDateTime>
#include <QLocale>
#include <QString>

// The moment of saving as project files and data exports show it: the date in the
// locale's short date format, one space, the time in its short time format.
QString savedTimeText(const QDateTime &when, const QLocale &locale = QLocale::system());

#endif // ZSAVEDTIME_H
