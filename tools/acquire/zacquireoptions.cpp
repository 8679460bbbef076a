#include "zacquireoptions.h"

#include "app/zappobservable.h"
#include "app/zdevicetypes.h"
#include "device/zrealbox.h"

#include <QRegularExpression>

#include <cmath>

namespace {

const QString TypeOption = QStringLiteral("--type");

// Options that take a value, and whether they may be given more than once.
struct ValueOption
{
    const char *name;
    bool repeatable;
};
const ValueOption ValueOptions[] = {
    { "--type", false },    { "--settings", false }, { "--select", false }, { "--rate", true },
    { "--range", true },    { "--start", false },    { "--stop", false },   { "--duration", false },
    { "--project", false }, { "--data", false },
};

bool takesValue(const QString &option, bool *repeatable)
{
    for (const ValueOption &candidate : ValueOptions) {
        if (option == QLatin1String(candidate.name)) {
            *repeatable = candidate.repeatable;
            return true;
        }
    }
    return false;
}

std::optional<int> parseBoxType(const QString &text)
{
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber)
        return deviceType(number) ? std::optional<int>(number) : std::nullopt;
    for (int type = MinBoxType; type <= MaxBoxType; ++type)
        if (text.compare(boxTypeName(type), Qt::CaseInsensitive) == 0)
            return type;
    return std::nullopt;
}

std::optional<int> parseTrigger(const QString &text, bool allowTimeOut)
{
    if (text == QLatin1String("manual"))
        return int(TriggerManual);
    if (text == QLatin1String("rising"))
        return int(TriggerRising);
    if (text == QLatin1String("falling"))
        return int(TriggerFalling);
    if (allowTimeOut && text == QLatin1String("timeout"))
        return int(TriggerTimeOut);
    return std::nullopt;
}

std::optional<int> parseRange(const QString &text)
{
    bool ok = false;
    const double volts = text.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    for (int code : { 1, 2, 4, 8 })
        if (volts == 10.0 / code)
            return code;
    return std::nullopt;
}

// Splits NAME=VALUE; false when there is no '=' or either side is empty.
bool splitAssignment(const QString &text, QString *name, QString *value)
{
    const int equals = text.indexOf(QLatin1Char('='));
    if (equals <= 0 || equals == text.size() - 1)
        return false;
    *name = text.left(equals).trimmed().toLower();
    *value = text.mid(equals + 1).trimmed();
    return true;
}

bool isChannelName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^(ai|di|cnt)[1-9][0-9]*$"));
    return pattern.match(name).hasMatch();
}

} // namespace

bool ZAcquireOptions::parse(const QStringList &arguments, QString *error)
{
    QStringList seen;
    bool typeGiven = false;
    for (int i = 1; i < arguments.size(); ++i) {
        QString option = arguments[i];
        QString value;
        bool hasValue = false;
        const int equals = option.indexOf(QLatin1Char('='));
        if (option.startsWith(QLatin1String("--")) && equals > 2) {
            value = option.mid(equals + 1);
            option = option.left(equals);
            hasValue = true;
        }
        bool repeatable = false;
        if (takesValue(option, &repeatable)) {
            if (!hasValue) {
                if (i + 1 >= arguments.size()) {
                    *error = QStringLiteral("option %1 needs a value").arg(option);
                    return false;
                }
                value = arguments[++i];
            }
            if (!repeatable && seen.contains(option)) {
                *error = QStringLiteral("option %1 given twice").arg(option);
                return false;
            }
            seen << option;
        } else if (hasValue) {
            *error = QStringLiteral("option %1 takes no value").arg(option);
            return false;
        }

        if (option == TypeOption) {
            const std::optional<int> type = parseBoxType(value);
            if (!type) {
                *error = QStringLiteral("unknown box type '%1' (see --list-types)").arg(value);
                return false;
            }
            boxType = *type;
            typeGiven = true;
        } else if (option == QLatin1String("--settings")) {
            settingsFile = value;
        } else if (option == QLatin1String("--select")) {
            QStringList names;
            for (const QString &part : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                const QString name = part.trimmed().toLower();
                if (!isChannelName(name)) {
                    *error = QStringLiteral("'%1' in --select is not an input name such as "
                                            "ai1, di1 or cnt1")
                                 .arg(part.trimmed());
                    return false;
                }
                names << name;
            }
            select = names;
        } else if (option == QLatin1String("--rate")) {
            QString name, text;
            bool ok = false;
            const double rate = splitAssignment(value, &name, &text) ? text.toDouble(&ok) : 0.0;
            if (!ok || !isChannelName(name) || !(rate > 0.0) || !std::isfinite(rate)) {
                *error = QStringLiteral("--rate wants NAME=RATE with a rate above 0 in samples "
                                        "per second, not '%1'")
                             .arg(value);
                return false;
            }
            rates << qMakePair(name, rate);
        } else if (option == QLatin1String("--range")) {
            QString name, text;
            const std::optional<int> code
                = splitAssignment(value, &name, &text) ? parseRange(text) : std::nullopt;
            if (!code || !name.startsWith(QLatin1String("ai")) || !isChannelName(name)) {
                *error = QStringLiteral("--range wants aiN=VOLTS with VOLTS 10, 5, 2.5 or 1.25, "
                                        "not '%1'")
                             .arg(value);
                return false;
            }
            ranges << qMakePair(name, *code);
        } else if (option == QLatin1String("--start") || option == QLatin1String("--stop")) {
            const bool isStop = option == QLatin1String("--stop");
            const std::optional<int> trigger = parseTrigger(value, isStop);
            if (!trigger) {
                *error = QStringLiteral("%1 wants %2, not '%3'")
                             .arg(option,
                                  isStop ? QStringLiteral("manual, rising, falling or timeout")
                                         : QStringLiteral("manual, rising or falling"),
                                  value);
                return false;
            }
            (isStop ? stopTrigger : startTrigger) = *trigger;
        } else if (option == QLatin1String("--duration")) {
            bool ok = false;
            const double seconds = value.toDouble(&ok);
            if (!ok || !(seconds >= 0.0) || !std::isfinite(seconds)) {
                *error
                    = QStringLiteral("--duration wants a number of seconds, not '%1'").arg(value);
                return false;
            }
            duration = seconds;
        } else if (option == QLatin1String("--project")) {
            projectFile = value;
        } else if (option == QLatin1String("--data")) {
            dataFile = value;
        } else if (option == QLatin1String("--simulate")) {
            simulate = true;
        } else if (option == QLatin1String("--quiet") || option == QLatin1String("-q")) {
            quiet = true;
        } else if (option == QLatin1String("--list-types")) {
            listTypes = true;
        } else if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
            help = true;
        } else {
            *error = QStringLiteral("unknown option '%1'").arg(arguments[i]);
            return false;
        }
    }
    if (!typeGiven && !help && !listTypes) {
        *error = QStringLiteral("--type is required");
        return false;
    }
    return true;
}

bool ZAcquireOptions::apply(ZAppObservable &app, QString *error) const
{
    ZRealBox *box = app.activeBox();
    if (!box) {
        *error = QStringLiteral("no box of type %1").arg(boxType);
        return false;
    }
    const auto find = [box, error](const QString &name, const char *option) -> ZInChannel * {
        ZInChannel *channel = channelByName(*box, name);
        if (!channel)
            *error = QStringLiteral("%1: the %2 has no input %3")
                         .arg(QLatin1String(option), boxTypeName(box->boxType()), name);
        return channel;
    };

    if (select) {
        std::vector<ZInChannel *> chosen;
        for (const QString &name : *select) {
            ZInChannel *channel = find(name, "--select");
            if (!channel)
                return false;
            chosen.push_back(channel);
        }
        const auto selectOnly = [&chosen](const auto &channels) {
            for (ZInChannel *channel : channels)
                channel->setSelected(std::find(chosen.begin(), chosen.end(), channel)
                                     != chosen.end());
        };
        selectOnly(box->analogIns());
        selectOnly(box->digitIns());
        selectOnly(box->edgeCnts());
    }
    for (const auto &rate : rates) {
        ZInChannel *channel = find(rate.first, "--rate");
        if (!channel)
            return false;
        channel->setInterval(channel->intervalRate(rate.second));
    }
    for (const auto &range : ranges) {
        auto *analog = dynamic_cast<ZAnalogIn *>(find(range.first, "--range"));
        if (!analog)
            return false;
        if (!(analog->rangeMask() & range.second)) {
            *error = QStringLiteral("--range: the %1 does not offer %2 V on %3")
                         .arg(boxTypeName(box->boxType()))
                         .arg(10.0 / range.second)
                         .arg(range.first);
            return false;
        }
        analog->setRange(range.second);
    }
    if (startTrigger)
        app.setStartTrigger(*startTrigger);
    if (stopTrigger)
        app.setStopTrigger(*stopTrigger);
    if (duration)
        app.setDuration(*duration);
    return true;
}

QString ZAcquireOptions::typeList()
{
    QString list;
    for (int type = MinBoxType; type <= MaxBoxType; ++type) {
        const ZDeviceType *row = deviceType(type);
        list += QStringLiteral("%1  %2  %3 analog, %4 digital inputs, %5 counters, "
                               "%6 analog, %7 digital outputs\n")
                    .arg(type, 2)
                    .arg(QString::fromLatin1(row->name))
                    .arg(row->analogIns, 2)
                    .arg(row->digitIns)
                    .arg(row->edgeCnts)
                    .arg(row->analogOuts)
                    .arg(row->digitOuts);
    }
    return list;
}

QString ZAcquireOptions::helpText()
{
    return QStringLiteral(
        "Usage: quoravi-acquire --type TYPE [options]\n"
        "\n"
        "Runs one acquisition on a Tebor box and writes a project file and/or a text export.\n"
        "\n"
        "  --type TYPE           box model, by name (UX-109) or number (1 to 10); required\n"
        "  --simulate            use the built-in simulated box instead of a USB box\n"
        "  --settings FILE       import a settings file saved by Save Settings first\n"
        "  --select LIST         inputs to record, e.g. ai1,ai2,di1,cnt1 (exactly these)\n"
        "  --rate NAME=RATE      samples per second of an input, e.g. ai1=500 (repeatable)\n"
        "  --range NAME=VOLTS    range of an analog input: 10, 5, 2.5 or 1.25 (repeatable)\n"
        "  --start TRIGGER       manual (default), rising or falling edge of digital input 1\n"
        "  --stop TRIGGER        manual (default: Ctrl+C), rising, falling or timeout\n"
        "  --duration SECONDS    run length for --stop timeout (default 60)\n"
        "  --project FILE        write the run as a project file (XML)\n"
        "  --data FILE           write the run as tab-separated text\n"
        "  --list-types          list the box models and exit\n"
        "  --quiet               no progress line\n"
        "  --help                show this text and exit\n"
        "\n"
        "Ctrl+C or SIGTERM stops the run as the window's Stop command does; the files are\n"
        "still written.\n"
        "When the box stops answering during a run, the run ends there; the files still hold\n"
        "the samples up to then.\n"
        "Exit status: 0 success, 1 box not reached or lost during the run, 2 usage error,\n"
        "3 a file could not be written.\n");
}

ZInChannel *channelByName(const ZRealBox &box, const QString &name)
{
    const auto pick = [](const auto &channels, const QString &number) -> ZInChannel * {
        bool ok = false;
        const int index = number.toInt(&ok) - 1;
        if (!ok || index < 0 || index >= int(channels.size()))
            return nullptr;
        return channels[std::size_t(index)];
    };
    if (name.startsWith(QLatin1String("ai")))
        return pick(box.analogIns(), name.mid(2));
    if (name.startsWith(QLatin1String("di")))
        return pick(box.digitIns(), name.mid(2));
    if (name.startsWith(QLatin1String("cnt")))
        return pick(box.edgeCnts(), name.mid(3));
    return nullptr;
}

QString channelName(const ZInChannel &channel)
{
    static const char *const Prefixes[] = { "ai", "di", "cnt" };
    const int kind = channel.id() >> 8;
    const QString prefix = QString::fromLatin1(kind >= 0 && kind < 3 ? Prefixes[kind] : "in");
    return prefix + QString::number(channelOf(channel.id()) + 1);
}
