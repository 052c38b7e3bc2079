#include "batch_args.h"

#include "batch_commands.h"

#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>

namespace {

// "--axis-scale" is the option "axis-scale".
QString option_name(const std::string& option) {
    return QString::fromStdString(option.substr(option.find_first_not_of('-')));
}

} // namespace

BatchArgs parse_batch_args(int argc, char** argv, const std::vector<std::string>& valued,
                           const std::vector<std::string>& flags) {
    BatchArgs args;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);
    for (const std::string& option : valued)
        parser.addOption(QCommandLineOption(option_name(option), QString(), QStringLiteral("value")));
    for (const std::string& option : flags)
        parser.addOption(QCommandLineOption(option_name(option)));

    QStringList words{QStringLiteral("halvorn-batch")};
    for (int i = 0; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    if (!parser.parse(words)) {
        const QStringList unknown = parser.unknownOptionNames();
        // Worded as the other usage errors: "missing value after '--low'".
        QString error = parser.errorText();
        if (!error.isEmpty())
            error[0] = error[0].toLower();
        if (error.endsWith(QLatin1Char('.')))
            error.chop(1);
        args.error = unknown.isEmpty() ? error.toStdString()
                                       : "unknown option --" + unknown.first().toStdString();
        return args;
    }
    args.help = parser.isSet(help);
    for (const std::string& option : valued) {
        if (!parser.isSet(option_name(option)))
            continue;
        const std::string value = parser.value(option_name(option)).toLocal8Bit().toStdString();
        if (value.empty()) {
            args.error = "option " + option + " needs a value, not an empty word";
            return args;
        }
        args.options[option] = value;
    }
    for (const std::string& option : flags)
        if (parser.isSet(option_name(option)))
            args.options[option] = "";
    for (const QString& word : parser.positionalArguments())
        args.positional.push_back(word.toLocal8Bit().toStdString());
    return args;
}

int batch_usage_error(const std::string& message) {
    if (!message.empty())
        std::fprintf(stderr, "halvorn-batch: %s\n", message.c_str());
    std::fputs(batch_usage, stderr);
    return 2;
}
