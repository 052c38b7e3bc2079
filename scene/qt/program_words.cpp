#include "program_words.h"

#include <QCommandLineParser>
#include <QStringList>

namespace {

// "--axis-scale" is the option "axis-scale".
QString option_name(const std::string& option) {
    return QString::fromStdString(option.substr(option.find_first_not_of('-')));
}

} // namespace

ProgramWords parse_program_words(const std::vector<std::string>& words,
                                 const std::vector<std::string>& valued,
                                 const std::vector<std::string>& flags) {
    ProgramWords result;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);
    for (const std::string& option : valued)
        parser.addOption(
            QCommandLineOption(option_name(option), QString(), QStringLiteral("value")));
    for (const std::string& option : flags)
        parser.addOption(QCommandLineOption(option_name(option)));

    QStringList list;
    for (const std::string& word : words)
        list << QString::fromLocal8Bit(word.data(), static_cast<qsizetype>(word.size()));
    if (!parser.parse(list)) {
        const QStringList unknown = parser.unknownOptionNames();
        QString error = parser.errorText();
        if (!error.isEmpty())
            error[0] = error[0].toLower();
        if (error.endsWith(QLatin1Char('.')))
            error.chop(1);
        result.error = unknown.isEmpty() ? error.toStdString()
                                         : "unknown option --" + unknown.first().toStdString();
        return result;
    }
    result.help = parser.isSet(help);
    for (const std::string& option : valued) {
        if (!parser.isSet(option_name(option)))
            continue;
        const std::string value = parser.value(option_name(option)).toLocal8Bit().toStdString();
        if (value.empty()) {
            result.error = "option " + option + " needs a value, not an empty word";
            return result;
        }
        result.options[option] = value;
    }
    for (const std::string& option : flags)
        if (parser.isSet(option_name(option)))
            result.options[option] = "";
    for (const QString& word : parser.positionalArguments())
        result.positional.push_back(word.toLocal8Bit().toStdString());
    return result;
}

std::vector<std::string> with_scene_options(std::vector<std::string> more) {
    std::vector<std::string> all(scene_valued_options,
                                 scene_valued_options + scene_valued_option_count);
    all.insert(all.end(), more.begin(), more.end());
    return all;
}
