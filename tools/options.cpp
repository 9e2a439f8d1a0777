#include "tools/options.h"

#include "storage/platform.h"

#include <functional>

namespace tolvana::tool {

const char* const kHelp =
    R"(Användning: tolvana-cipher kryptera   [FLAGGOR] [INFIL] [-o UTFIL]
            tolvana-cipher dekryptera [FLAGGOR] [INFIL] [-o UTFIL]

Gör om klartext till Tolvanas sifferchiffer (kryptera) eller chiffer till
klartext (dekryptera), som knapparna "Kryptera" och "Dekryptera" i programmet.
Utan INFIL, eller med INFIL -, läses standard in. Utan -o skrivs resultatet
till standard ut.

Flaggor:
  -o, --ut UTFIL     skriv resultatet till UTFIL. Filen ersätts först när allt
                     är skrivet; vid ett fel lämnas den som den var.
  -c, --crp          chiffret är en .crp-fil, som programmet sparar och öppnar:
                     ett fält inom citattecken följt av CR LF. Standard när
                     filens namn slutar på .crp, och vid dekryptering också när
                     texten börjar med ett citattecken.
  -r, --ren          chiffret är bara talen, utan citattecken. Standard annars.
  -i, --import       kryptera: läs klartexten som "Öppna fil för tolvana" läser
                     en textfil: fälten körs ihop, utan komman och radslut
                     emellan. Standard när INFIL slutar på .txt.
  -t, --text         kryptera: läs klartexten precis som den står, med komman
                     och radslut. Standard annars.
  -k, --kodning KOD  klartextens kodning: utf-8 eller cp1252 (Windows-1252).
                     Klartext läses som UTF-8 om hela texten är giltig UTF-8,
                     som UTF-16 om den börjar med ett byteordningsmärke och
                     annars som cp1252; med -k läses den bara på det sättet.
                     Klartext skrivs som UTF-8, eller med -k cp1252 som en byte
                     per tecken, som Windows-versionen av programmet läser den.
  -d, --decimal TECKEN
                     decimaltecknet i talen som kryptera skriver: , eller .
                     Standard: decimaltecknet i användarens språkinställning.
                     Dekryptera läser både komma och punkt.
  -h, --help         visa den här hjälpen och avsluta
  -V, --version      visa versionen och avsluta

Slutstatus: 0 när allt gick bra, 1 när indata inte kunde läsas, avkodas eller
skrivas, 2 vid fel på kommandoraden. Felmeddelanden skrivs till standard fel.
)";


bool IsStandard(const std::string& name) { return name.empty() || name == "-"; }

// Judged by the name of the file on the disk: on Windows "brev.crp." is
// brev.crp.
bool EndsWith(const std::string& given, std::string_view extension) {
    const std::string name = storage::platform::NameAsMade(given);
    if (name.size() < extension.size()) return false;
    for (std::size_t i = 0; i < extension.size(); ++i) {
        char c = name[name.size() - extension.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != extension[i]) return false;
    }
    return true;
}

namespace {

Failure Usage(const std::string& what) {
    return {kBadUsage, what + "\nSe \"tolvana-cipher --help\"."};
}

// One option, `name`, with the value `attached` to it where it has one: what
// it sets in `options`, or the failure. `value()` takes the option's value,
// from the argument itself or from the next one.
std::optional<Failure> ApplyOption(const std::string& argument, const std::string& name,
                                   const std::optional<std::string>& attached,
                                   const std::function<std::optional<std::string>()>& value,
                                   Options& options) {
    auto flag = [&](bool& target) -> std::optional<Failure> {
        if (attached) return Usage("flaggan " + name + " tar inget värde");
        target = true;
        return std::nullopt;
    };
    std::optional<Failure> failure;
    bool set = false;
    if (name == "-h" || name == "--help") {
        failure = flag(options.help);
    } else if (name == "-V" || name == "--version") {
        failure = flag(options.version);
    } else if (name == "-c" || name == "--crp") {
        failure = flag(set);
        options.cipherForm = CipherForm::Crp;
    } else if (name == "-r" || name == "--ren") {
        failure = flag(set);
        options.cipherForm = CipherForm::Plain;
    } else if (name == "-i" || name == "--import") {
        failure = flag(set);
        options.clearForm = ClearForm::Import;
    } else if (name == "-t" || name == "--text") {
        failure = flag(set);
        options.clearForm = ClearForm::Text;
    } else if (name == "-o" || name == "--ut") {
        const auto file = value();
        if (!file || file->empty()) return Usage("flaggan " + name + " behöver ett filnamn");
        options.output = *file;
    } else if (name == "-k" || name == "--kodning") {
        const auto code = value();
        if (code == "utf-8" || code == "UTF-8" || code == "utf8")
            options.encoding = Encoding::Utf8;
        else if (code == "cp1252" || code == "windows-1252" || code == "CP1252")
            options.encoding = Encoding::CodePage;
        else
            return Usage("flaggan " + name + " tar utf-8 eller cp1252");
    } else if (name == "-d" || name == "--decimal") {
        const auto decimal = value();
        if (decimal == "," || decimal == "komma")
            options.decimal = ',';
        else if (decimal == "." || decimal == "punkt")
            options.decimal = '.';
        else
            return Usage("flaggan " + name + " tar , eller .");
    } else {
        return Usage("okänd flagga: " + argument);
    }
    return failure;
}

// The command and the input, from the arguments that are no options.
std::optional<Failure> ApplyPositional(const std::vector<std::string>& positional,
                                       Options& options) {
    if (positional.empty()) return Usage("ange kryptera eller dekryptera");
    if (positional[0] == "kryptera")
        options.command = Command::Kryptera;
    else if (positional[0] == "dekryptera")
        options.command = Command::Dekryptera;
    else
        return Usage("okänt kommando: " + positional[0] + " (kryptera eller dekryptera)");
    if (positional.size() > 2) return Usage("för många filer: " + positional[2]);
    if (positional.size() == 2) options.input = positional[1];
    return std::nullopt;
}

} // namespace

std::optional<Failure> Parse(const std::vector<std::string>& arguments, Options& options) {
    std::vector<std::string> positional;
    bool optionsEnd = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnd || argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnd = true;
            continue;
        }
        // "--name=value" and "--name value" are the same; so are "-kX" and "-k X".
        std::string name = argument;
        std::optional<std::string> attached;
        if (argument.rfind("--", 0) == 0) {
            if (const auto equals = argument.find('='); equals != std::string::npos) {
                name = argument.substr(0, equals);
                attached = argument.substr(equals + 1);
            }
        } else if (argument.size() > 2) {
            name = argument.substr(0, 2);
            attached = argument.substr(2);
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (attached) return attached;
            if (i + 1 < arguments.size()) return arguments[++i];
            return std::nullopt;
        };
        if (auto failure = ApplyOption(argument, name, attached, value, options)) return failure;
    }
    if (options.help || options.version) return std::nullopt;
    return ApplyPositional(positional, options);
}

} // namespace tolvana::tool
