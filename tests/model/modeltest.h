#ifndef MODELTEST_H
#define MODELTEST_H

#include "model/zcomponent.h"
#include "model/zseries.h"
#include "tests/common/coderecorder.h"

#include <QtTest>

#include <limits>
#include <tuple>
#include <vector>

using Codes = QList<int>;
using Values = std::vector<double>;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

template<class T> std::vector<T> toVector(const ZSeriesView<T> &view)
{
    return std::vector<T>(view.begin(), view.end());
}

// Records the codes of one component from its construction on.
struct Watch : CodeRecorder<ZComponent>
{
    explicit Watch(ZComponent &component) { attach(&component); }
};

// A table row's outcome as one line, so that a single comparison names the row and shows
// every value that differs; doubles are written exactly.
struct Line
{
    static QString of(double value) { return QString::number(value, 'g', 17); }
    static QString of(bool value) { return value ? "yes" : "no"; }
    static QString of(int value) { return QString::number(value); }
    static QString of(const char *value) { return QString::fromUtf8(value); }
    static QString of(const QStringList &list) { return list.join(QLatin1Char(',')); }
    static QString of(const Codes &codes)
    {
        QStringList hex;
        for (const int code : codes)
            hex << QString::number(code, 16);
        return of(hex);
    }
};

template<class... Args> QString line(const Args &...values)
{
    return QStringList { Line::of(values)... }.join(QLatin1Char(' '));
}

#endif // MODELTEST_H
