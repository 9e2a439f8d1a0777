#include "ui/forms/commandline.h"

#include <QCommandLineParser>

namespace tolvana::ui {
namespace {

// The help text in Swedish, whatever language Qt's own texts are in.
QString HelpText(const QString& program) {
    return QStringLiteral(
               "Användning: %1 [FLAGGOR] [FIL...]\n"
               "Tolvana gör om en kort text till ett sifferchiffer och tillbaka.\n"
               "\n"
               "En fil som slutar på .crp öppnas som krypterad text i den nedre rutan, som med\n"
               "\"Öppna en krypterad fil\". En fil som slutar på .txt läses in i den övre rutan,\n"
               "som med \"Öppna fil för tolvana\". Filer kan också släppas på fönstret.\n"
               "\n"
               "Flaggor:\n"
               "  -h, --help     visa den här hjälpen och avsluta\n"
               "  -v, --version  visa programmets version och avsluta\n"
               "\n"
               "Kommandoradsverktyget tolvana-cipher krypterar och dekrypterar utan fönster.\n")
        .arg(program);
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("visa den här hjälpen och avsluta"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("visa programmets version och avsluta"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("fil"), QStringLiteral("en .crp- eller .txt-fil"),
                                 QStringLiteral("[FIL...]"));

    const QString program = QStringLiteral("tolvana");
    CommandLine result;
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        const QString what =
            unknown.isEmpty()
                ? QStringLiteral("fel på kommandoraden")
                : QStringLiteral("okänd flagga: %1")
                      .arg(QString(unknown.first().size() == 1 ? QStringLiteral("-")
                                                               : QStringLiteral("--")) +
                           unknown.first());
        result.action = CommandLine::Action::Refuse;
        result.text = QStringLiteral("%1: %2\nSe \"%1 --help\".\n").arg(program, what);
        return result;
    }
    if (parser.isSet(help)) {
        result.action = CommandLine::Action::Print;
        result.text = HelpText(program);
    } else if (parser.isSet(version)) {
        result.action = CommandLine::Action::Print;
        result.text = QStringLiteral("%1 %2.%3.%4\n")
                          .arg(program)
                          .arg(TOLVANA_VERSION_MAJOR)
                          .arg(TOLVANA_VERSION_MINOR)
                          .arg(TOLVANA_VERSION_PATCH);
    } else {
        result.files = parser.positionalArguments();
    }
    return result;
}

} // namespace tolvana::ui
