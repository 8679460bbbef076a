#include "zacquireoptions.h"

#include "app/zappobservable.h"
#include "app/zdevicetypes.h"
#include "device/zrealbox.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cmath>

namespace {

// The command line's options, in the order --help lists them.
struct OptionSpec
{
    const char *shortName; // nullptr when there is none
    const char *name;
    const char *valueName; // nullptr for a flag
    bool repeatable;
    const char *description;
};
const OptionSpec Options[] = {
    { nullptr, "type", "TYPE", false,
      "box model, by name (UX-109) or number (1 to 10); required, except with --scan" },
    { nullptr, "simulate", nullptr, false, "use the built-in simulated box instead of a USB box" },
    { nullptr, "settings", "FILE", false, "import a settings file saved by Save Settings first" },
    { nullptr, "select", "LIST", false, "inputs to record, e.g. ai1,ai2,di1,cnt1 (exactly these)" },
    { nullptr, "rate", "NAME=RATE", true,
      "samples per second of an input, e.g. ai1=500 (repeatable)" },
    { nullptr, "range", "NAME=VOLTS", true,
      "range of an analog input: 10, 5, 2.5 or 1.25 (repeatable)" },
    { nullptr, "start", "TRIGGER", false,
      "manual (default), rising or falling edge of digital input 1" },
    { nullptr, "stop", "TRIGGER", false, "manual (default: Ctrl+C), rising, falling or timeout" },
    { nullptr, "duration", "SECONDS", false, "run length for --stop timeout (default 60)" },
    { nullptr, "project", "FILE", false, "write the run as a project file (XML)" },
    { nullptr, "data", "FILE", false, "write the run as tab-separated text" },
    { nullptr, "scan", nullptr, false,
      "list the FTDI devices and whether each can be opened; with --type also whether the "
      "first answers as that type, and its calibration per analog input; no run" },
    { nullptr, "list-types", nullptr, false, "list the box models and exit" },
    { "q", "quiet", nullptr, false, "no progress line" },
    { "h", "help", nullptr, false, "show this text and exit" },
};

QCommandLineOption toOption(const OptionSpec &spec)
{
    QStringList names;
    if (spec.shortName)
        names << QLatin1String(spec.shortName);
    names << QLatin1String(spec.name);
    return spec.valueName
        ? QCommandLineOption(names, QLatin1String(spec.description), QLatin1String(spec.valueName))
        : QCommandLineOption(names, QLatin1String(spec.description));
}

const OptionSpec *findOption(const QString &name)
{
    for (const OptionSpec &spec : Options)
        if (name == QLatin1String(spec.name)
            || (spec.shortName && name == QLatin1String(spec.shortName)))
            return &spec;
    return nullptr;
}

// Words of `text` in lines of at most `width` characters, the lines after the first
// indented to `column`; ends with a newline.
QString wrapped(const QString &text, int column, int width)
{
    QString result;
    int lineLength = column;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (lineLength > column && lineLength + 1 + word.size() > width) {
            result += QLatin1Char('\n') + QString(column, QLatin1Char(' '));
            lineLength = column;
        } else if (lineLength > column) {
            result += QLatin1Char(' ');
            ++lineLength;
        }
        result += word;
        lineLength += word.size();
    }
    return result + QLatin1Char('\n');
}

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The parser's refusal in the tool's own words: an unknown option, a value missing at
// the end, a value given to a flag.
QString usageError(const QCommandLineParser &parser, const QStringList &arguments)
{
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("unknown option '%1'")
            .arg(dashed(parser.unknownOptionNames().first()));
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (!argument.startsWith(QLatin1String("--")))
            continue;
        const int equals = argument.indexOf(QLatin1Char('='));
        const OptionSpec *spec = findOption(argument.mid(2, equals < 0 ? -1 : equals - 2));
        if (!spec)
            continue;
        if (spec->valueName && equals < 0 && i == arguments.size() - 1)
            return QStringLiteral("option --%1 needs a value").arg(QLatin1String(spec->name));
        if (!spec->valueName && equals >= 0)
            return QStringLiteral("option --%1 takes no value").arg(QLatin1String(spec->name));
    }
    return parser.errorText();
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
    QCommandLineParser parser;
    for (const OptionSpec &spec : Options)
        parser.addOption(toOption(spec));
    if (!parser.parse(arguments)) {
        *error = usageError(parser, arguments);
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error
            = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return false;
    }
    for (const OptionSpec &spec : Options) {
        if (spec.valueName && !spec.repeatable
            && parser.values(QLatin1String(spec.name)).size() > 1) {
            *error = QStringLiteral("option --%1 given twice").arg(QLatin1String(spec.name));
            return false;
        }
    }
    const auto value = [&parser](const char *name) {
        return parser.value(QLatin1String(name));
    };
    const auto isSet = [&parser](const char *name) {
        return parser.isSet(QLatin1String(name));
    };

    simulate = isSet("simulate");
    quiet = isSet("quiet");
    listTypes = isSet("list-types");
    help = isSet("help");
    scan = isSet("scan");
    settingsFile = value("settings");
    projectFile = value("project");
    dataFile = value("data");
    if (isSet("type")) {
        const std::optional<int> type = parseBoxType(value("type"));
        if (!type) {
            *error = QStringLiteral("unknown box type '%1' (see --list-types)").arg(value("type"));
            return false;
        }
        boxType = *type;
    } else if (!help && !listTypes && !scan) {
        *error = QStringLiteral("--type is required");
        return false;
    }
    return (!isSet("select") || parseSelect(value("select"), error))
        && parseRates(parser.values(QStringLiteral("rate")), error)
        && parseRanges(parser.values(QStringLiteral("range")), error)
        && (!isSet("start") || parseTriggerOption(QStringLiteral("--start"), value("start"), error))
        && (!isSet("stop") || parseTriggerOption(QStringLiteral("--stop"), value("stop"), error))
        && (!isSet("duration") || parseDuration(value("duration"), error));
}

bool ZAcquireOptions::parseSelect(const QString &value, QString *error)
{
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
    return true;
}

bool ZAcquireOptions::parseRates(const QStringList &values, QString *error)
{
    for (const QString &value : values) {
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
    }
    return true;
}

bool ZAcquireOptions::parseRanges(const QStringList &values, QString *error)
{
    for (const QString &value : values) {
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
    }
    return true;
}

bool ZAcquireOptions::parseTriggerOption(const QString &option, const QString &value,
                                         QString *error)
{
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
    return true;
}

bool ZAcquireOptions::parseDuration(const QString &value, QString *error)
{
    bool ok = false;
    const double seconds = value.toDouble(&ok);
    if (!ok || !(seconds >= 0.0) || !std::isfinite(seconds)) {
        *error = QStringLiteral("--duration wants a number of seconds, not '%1'").arg(value);
        return false;
    }
    duration = seconds;
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
    constexpr int DescriptionColumn = 24;
    constexpr int HelpWidth = 86;
    QString text = QStringLiteral(
        "Usage: quoravi-acquire --type TYPE [options]\n"
        "       quoravi-acquire --scan [--type TYPE]\n"
        "\n"
        "Runs one acquisition on a Tebor box and writes a project file and/or a text export.\n"
        "\n");
    for (const OptionSpec &spec : Options) {
        QString names = spec.shortName
            ? QStringLiteral("-%1, --%2")
                  .arg(QLatin1String(spec.shortName), QLatin1String(spec.name))
            : QStringLiteral("--%1").arg(QLatin1String(spec.name));
        if (spec.valueName)
            names += QLatin1Char(' ') + QLatin1String(spec.valueName);
        text
            += QStringLiteral("  ") + names.leftJustified(DescriptionColumn - 3) + QLatin1Char(' ');
        text += wrapped(QLatin1String(spec.description), DescriptionColumn, HelpWidth);
    }
    text += QStringLiteral(
        "\n"
        "Ctrl+C or SIGTERM stops the run as the window's Stop command does; the files are\n"
        "still written. A second one only prints \"saving, please wait\"; a third ends the\n"
        "tool at once with exit status 130, and a file not yet completely written keeps its\n"
        "old content.\n"
        "When the box stops answering during a run, the run ends there; the files still hold\n"
        "the samples up to then. When no box can be reached, a second line says why.\n"
        "Exit status: 0 success, 1 box not reached or lost during the run, 2 usage error,\n"
        "3 a file could not be written. --scan: 0 when the box answered (with --type) or a\n"
        "device could be opened (without), 1 otherwise.\n");
    return text;
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
