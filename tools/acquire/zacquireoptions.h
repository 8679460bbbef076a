#ifndef ZACQUIREOPTIONS_H
#define ZACQUIREOPTIONS_H

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

class ZAppObservable;
class ZInChannel;
class ZRealBox;

// What the command line asks of one acquisition. Parsing checks the form of every value;
// apply() checks them against the chosen box type and configures the model, so a bad
// value is refused before any device is opened.
struct ZAcquireOptions
{
    int boxType = 0;
    bool simulate = false;
    bool quiet = false;
    bool listTypes = false;
    bool help = false;
    bool scan = false;
    QString settingsFile;
    std::optional<QStringList> select; // channel names; empty list: select nothing
    QList<QPair<QString, double>> rates; // channel name, samples per second
    QList<QPair<QString, int>> ranges; // analog input name, range code
    std::optional<int> startTrigger;
    std::optional<int> stopTrigger;
    std::optional<double> duration;
    QString projectFile;
    QString dataFile;

    // Parses the arguments (program name first). On failure returns false and sets
    // *error to what was wrong.
    bool parse(const QStringList &arguments, QString *error);

    // Applies selection, rates, ranges, triggers and duration to the model's device box.
    bool apply(ZAppObservable &app, QString *error) const;

    static QString helpText();
    static QString typeList();

private:
    bool parseSelect(const QString &value, QString *error);
    bool parseRates(const QStringList &values, QString *error);
    bool parseRanges(const QStringList &values, QString *error);
    bool parseTriggerOption(const QString &option, const QString &value, QString *error);
    bool parseDuration(const QString &value, QString *error);
};

// The channel named as the labels show it ("ai1", "di2", "cnt1"), or nullptr.
ZInChannel *channelByName(const ZRealBox &box, const QString &name);
// The name of a channel as channelByName() takes it.
QString channelName(const ZInChannel &channel);

#endif // ZACQUIREOPTIONS_H
