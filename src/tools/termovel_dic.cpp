// termovel-dic: a command-line companion for people who keep dictionaries. It works on the same
// core as the program: what it writes, the program reads, and the other way round.
//
// Terminal texts are UTF-8; dictionary and import files are Windows-1251.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/secret_memory_stream.h"
#include "dictionary/text_import.h"
#include "platform/codepage.h"
#include "platform/error.h"

namespace {

// Exit codes. --help shows them (kExitCodes) and the manual page lists them.
constexpr int kExitOk = 0;
constexpr int kExitNotFound = 1;     // lookup: the term is not in the dictionary
constexpr int kExitUsage = 2;        // unknown command or option, wrong arguments
constexpr int kExitBadInput = 3;     // a file that is missing, unreadable or damaged
constexpr int kExitWriteFailed = 4;  // a dictionary or standard output that could not be written

constexpr const char* kExitCodes =
    "Коды завершения: 0 — готово, 1 — термин не найден, 2 — ошибка в командной строке,\n"
    "  3 — входной файл не читается или повреждён, 4 — ошибка записи.\n";

constexpr const char* kUsage =
    "Использование:\n"
    "  termovel-dic info FILE.dic            название, автор, описание, число терминов\n"
    "  termovel-dic list FILE.dic            термины по порядку\n"
    "  termovel-dic lookup FILE.dic TERM     статья термина (код 1, если его нет)\n"
    "  termovel-dic verify FILE.dic          проверка файла словаря\n"
    "  termovel-dic import FILE.dic TEXTFILE [--name TEXT] [--author TEXT] [--info TEXT]\n"
    "                                        импорт текста (словарь создаётся, если его нет)\n"
    "  termovel-dic export FILE.dic          словарь в формате импорта (Windows-1251)\n"
    "  termovel-dic --help | --version\n";

// A failure the user caused (bad argument, damaged file): message already in UTF-8.
struct TFailure {
    std::string message;
    int code = kExitUsage;
};

// The core's errors tell by their fixed texts whether writing or reading failed.
int exitCodeOf(const TError& error) {
    const std::string_view message = error.what();
    for (std::string_view writing :
         {error_text::kCannotCreateFile, error_text::kStreamWrite, error_text::kUnableToWrite})
        if (message.starts_with(writing.substr(0, writing.find('%'))))
            return kExitWriteFailed;
    return kExitBadInput;
}

void print(std::string_view utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

void printText(std::string_view cp1251) {
    print(codepage::toUtf8(cp1251));
}

// A command-line text (UTF-8) as Windows-1251, or a failure naming the character that the
// code page cannot hold.
std::string toCodePage(std::string_view utf8, std::string_view what) {
    char32_t bad = 0;
    auto converted = codepage::fromUtf8(utf8, &bad);
    if (!converted) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(bad));
        throw TFailure{std::string(what) + ": символ " + code +
                       " нельзя записать в кодировке Windows-1251"};
    }
    return *converted;
}

// Whether something is at path. A file that is there but cannot be read counts too: loading
// it then fails with its own error, instead of a new dictionary being saved over it.
bool fileExists(const std::string& path) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    return exists || ec;
}

int info(const std::string& path) {
    TDictionary d;
    d.LoadFromFile(path);
    print("Название словаря: ");
    printText(d.Name());
    print("\nАвтор-составитель: ");
    printText(d.Author());
    print("\nДополнительная информация: ");
    std::string description;
    for (char c : d.Info()) {
        if (c != '\r')
            description.push_back(c);
    }
    printText(description);
    print("\nТерминов: " + std::to_string(d.Count()) + "\n");
    return kExitOk;
}

int list(const std::string& path) {
    TDictionary d;
    d.LoadFromFile(path);
    std::string out;
    for (int i = 0; i < d.Count(); ++i) {
        out.append(d.Term(i));
        out.push_back('\n');
        if (out.size() > (1 << 16)) {
            printText(out);
            out.clear();
        }
    }
    printText(out);
    return kExitOk;
}

int lookup(const std::string& path, std::string_view termUtf8) {
    const std::string term = toCodePage(termUtf8, "Термин");
    TDictionary d;
    d.LoadFromFile(path);
    const int at = d.Find(term);
    if (at < 0)
        throw TFailure{"Термин не найден: " + std::string(termUtf8), kExitNotFound};
    std::string article(d.Article(at));
    printText(article);
    if (article.empty() || article.back() != '\n')
        print("\n");
    return kExitOk;
}

int verify(const std::string& path) {
    TSecretMemoryStream original;
    original.LoadFromFile(path);
    TDictionary d;
    try {
        d.LoadFromFile(path);
    } catch (const TError& e) {
        throw TFailure{"Файл словаря повреждён: " + std::string(e.what()), kExitBadInput};
    }
    TSecretMemoryStream again;
    d.SaveToStream(again);
    again.Scramble();
    if (again.size() != original.size() ||
        std::memcmp(again.data(), original.data(), again.size()) != 0) {
        throw TFailure{
            "Файл словаря повреждён: он отличается от своей пересохранённой копии "
            "(лишние байты, нулевые байты в текстах, нарушенный порядок или повторы терминов)",
            kExitBadInput};
    }
    print("Файл в порядке: терминов " + std::to_string(d.Count()) + "\n");
    return kExitOk;
}

int import(const std::string& dicPath, const std::string& textPath,
           const std::vector<std::string>& options) {
    std::optional<std::string> name, author, description;
    for (size_t i = 0; i < options.size(); i += 2) {
        if (i + 1 >= options.size())
            throw TFailure{"Нет значения для " + options[i]};
        const std::string& value = options[i + 1];
        if (options[i] == "--name")
            name = toCodePage(value, "Название");
        else if (options[i] == "--author")
            author = toCodePage(value, "Автор");
        else if (options[i] == "--info")
            description = toCodePage(value, "Описание");
        else
            throw TFailure{"Неизвестный параметр: " + options[i] + "\n" + kUsage};
    }

    TDictionary d;
    const bool existed = fileExists(dicPath);
    if (existed)
        d.LoadFromFile(dicPath);
    if (name)
        d.SetName(*name);
    if (author)
        d.SetAuthor(*author);
    if (description) {
        // The description keeps CR LF line breaks, as the program's own dialog writes them.
        std::string crlf;
        for (char c : *description) {
            if (c == '\n')
                crlf.push_back('\r');
            crlf.push_back(c);
        }
        d.SetInfo(crlf);
    }
    const TImportResult result = importText(d, textPath);
    d.SaveToFile(dicPath);
    print(std::string(existed ? "Словарь дополнен" : "Словарь создан") + ": блоков прочитано " +
          std::to_string(result.blocks) + ", терминов добавлено " + std::to_string(result.added) +
          ", всего " + std::to_string(d.Count()) + "\n");
    return kExitOk;
}

int exportText(const std::string& path) {
    TDictionary d;
    d.LoadFromFile(path);
    std::string out;
    for (int i = 0; i < d.Count(); ++i) {
        out.push_back('@');
        out.append(d.Term(i));
        out.push_back('\n');
        const std::string_view article = d.Article(i);
        out.append(article);
        if (!article.empty() && article.back() != '\n')
            out.push_back('\n');
        out.append("~~~\n");
        if (out.size() > (1 << 16)) {
            print(out);
            out.clear();
        }
    }
    print(out);
    return kExitOk;
}

int run(const std::vector<std::string>& args) {
    if (args.empty())
        throw TFailure{kUsage};
    const std::string& command = args[0];
    auto need = [&](size_t count) {
        if (args.size() != count + 1)
            throw TFailure{kUsage};
    };
    if (command == "info") {
        need(1);
        return info(args[1]);
    }
    if (command == "list") {
        need(1);
        return list(args[1]);
    }
    if (command == "lookup") {
        need(2);
        return lookup(args[1], args[2]);
    }
    if (command == "verify") {
        need(1);
        return verify(args[1]);
    }
    if (command == "import") {
        if (args.size() < 3)
            throw TFailure{kUsage};
        return import(args[1], args[2], std::vector<std::string>(args.begin() + 3, args.end()));
    }
    if (command == "export") {
        need(1);
        return exportText(args[1]);
    }
    if (command == "--help" || command == "-h" || command == "help") {
        print(std::string(kUsage) + kExitCodes);
        return kExitOk;
    }
    if (command == "--version") {
        print("termovel-dic " TERMOVEL_VERSION "\n");
        return kExitOk;
    }
    throw TFailure{"Неизвестная команда: " + command + "\n" + kUsage};
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    int code = kExitOk;
    std::string message;
    try {
        code = run(args);
    } catch (const TFailure& f) {
        code = f.code;
        message = f.message;
    } catch (const TError& e) {
        code = exitCodeOf(e);
        message = e.what();
    } catch (const std::exception& e) {
        // Memory running out while a file is read is the usual way to get here.
        code = kExitBadInput;
        message = e.what();
    }
    if (std::fflush(stdout) != 0 && message.empty()) {
        code = kExitWriteFailed;
        message = "ошибка записи в стандартный вывод";
    }
    if (!message.empty())
        std::fprintf(stderr, "termovel-dic: %s\n", message.c_str());
    return code;
}
