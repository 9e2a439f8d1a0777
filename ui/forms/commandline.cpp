#include "ui/forms/commandline.h"

#include "messages/messages.h"
#include "ui/platform/nativepath.h"

#include <array>
#include <string_view>

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
               "som med \"Öppna fil för tolvana\". En fil kan också anges som en fil-adress\n"
               "(file:///mapp/fil.crp). Filer kan också släppas på fönstret.\n"
               "\n"
               "Flaggor:\n"
               "  -h, --help     visa den här hjälpen och avsluta\n"
               "  -v, --version  visa programmets version och avsluta\n"
               "\n"
               "Kommandoradsverktyget tolvana-cipher krypterar och dekrypterar utan fönster.\n")
        .arg(program);
}

// Qt's own options, which Qt takes out of the command line when it starts
// (QCoreApplication, QGuiApplication, QApplication and the X11 platform), with
// one dash or two. Those of the first list take the next argument as their
// value.
constexpr std::array<std::string_view, 17> kQtOptionsWithValue = {
    "platform", "platformpluginpath", "platformtheme", "qwindowgeometry", "qwindowtitle",
    "qwindowicon", "geometry", "title", "icon", "plugin", "session", "style", "stylesheet",
    "qmljsdebugger", "display", "name", "visual"};
constexpr std::array<std::string_view, 7> kQtOptions = {
    "reverse", "testability", "widgetcount", "qdevel", "qdebug", "nograb", "dograb"};

// How many arguments a Qt option at `argument` takes up (1 or 2); 0 when it
// is not one of Qt's.
int QtOptionLength(std::string_view argument) {
    std::string_view name = argument.substr(argument.starts_with("--") ? 2 : 1);
    for (std::string_view option : kQtOptions)
        if (name == option) return 1;
    const std::size_t equals = name.find('=');
    for (std::string_view option : kQtOptionsWithValue) {
        if (name == option) return 2;
        if (equals != std::string_view::npos && name.substr(0, equals) == option) return 1;
    }
    return 0;
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    const QString program = QStringLiteral("tolvana");
    CommandLine result;
    bool help = false, version = false, optionsEnd = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnd || argument.size() < 2 || argument[0] != '-') {
            result.files << QtPath(argument);
        } else if (argument == "--") {
            optionsEnd = true;
        } else if (argument == "-h" || argument == "--help") {
            help = true;
        } else if (argument == "-v" || argument == "--version") {
            version = true;
        } else if (const int length = QtOptionLength(argument)) {
            i += length - 1;
        } else {
            // Named as it was written, up to any value given with "=".
            const std::string name = argument.substr(0, argument.find('=', 2));
            result.action = CommandLine::Action::Refuse;
            result.files.clear();
            result.text = QStringLiteral("%1: okänd flagga: %2\nSe \"%1 --help\".\n")
                              .arg(program, QString::fromStdString(messages::ShownName(name)));
            return result;
        }
    }
    if (help) {
        result.action = CommandLine::Action::Print;
        result.text = HelpText(program);
    } else if (version) {
        result.action = CommandLine::Action::Print;
        result.text = QStringLiteral("%1 %2.%3.%4\n")
                          .arg(program)
                          .arg(TOLVANA_VERSION_MAJOR)
                          .arg(TOLVANA_VERSION_MINOR)
                          .arg(TOLVANA_VERSION_PATCH);
    }
    if (result.action != CommandLine::Action::Run) result.files.clear();
    return result;
}

} // namespace tolvana::ui
