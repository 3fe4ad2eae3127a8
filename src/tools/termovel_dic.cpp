// termovel-dic: a command-line companion for people who keep dictionaries. It works on the same
// core as the program: what it writes, the program reads, and the other way round.
//
// Terminal texts are UTF-8; dictionary and import files are Windows-1251.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/article_search.h"
#include "dictionary/dic_check.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_lookup.h"
#include "dictionary/secret_memory_stream.h"
#include "dictionary/source.h"
#include "dictionary/term_index.h"
#include "interchange/fold_1251.h"
#include "interchange/source_readers.h"
#include "interchange/stardict_writer.h"
#include "interchange/tab_text.h"
#include "interchange/text_export.h"
#include "interchange/text_import.h"
#include "platform/atomic_file.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/regular_file.h"
#include "platform/same_file.h"

#include "wordforms/suggest_index.h"
#include "wordforms/suggestions.h"
#include "wordforms/word_forms.h"

#include "tools/convert_commands.h"
#include "tools/tool_common.h"

namespace {

constexpr const char* kUsage =
    "Использование:\n"
    "  termovel-dic info FILE.dic            название, автор, описание, число терминов\n"
    "  termovel-dic list FILE.dic            термины по порядку\n"
    "  termovel-dic lookup FILE.dic TERM [--no-index] [--exact]\n"
    "                                        статья термина; указатель терминов в кэше ускоряет\n"
    "                                        поиск, --no-index: без него. Слово, которого нет\n"
    "                                        среди терминов, ищется через ё/е и словарные формы\n"
    "                                        («кошки» → кошка; найденный термин называется в\n"
    "                                        stderr); если нет и их, в stderr — похожие термины,\n"
    "                                        код 1. --exact: только термин как написан\n"
    "  termovel-dic verify FILE.dic          проверка файла словаря\n"
    "  termovel-dic import FILE.dic TEXTFILE [--tab] [--force] [--name TEXT] [--author TEXT]\n"
    "                                        [--info TEXT] [--encoding cp1251|utf-8]\n"
    "                                        импорт текста (словарь создаётся, если его нет);\n"
    "                                        текст в UTF-8 узнаётся сам и переводится в\n"
    "                                        Windows-1251; --encoding задаёт кодировку явно;\n"
    "                                        --tab: текст в табличной форме export --tab;\n"
    "                                        --force: записать, даже если словарь загружается\n"
    "                                        не полностью\n"
    "  termovel-dic export FILE.dic [--tab]  словарь в формате импорта (Windows-1251); --tab:\n"
    "                                        строка на термин, термин TAB статья, без потерь\n"
    "  termovel-dic export --stardict FILE.dic OUT.ifo [--force]\n"
    "                                        словарь в формате StarDict 2.4.2: OUT.ifo, OUT.idx,\n"
    "                                        OUT.dict.dz; --force: заменить уже существующие\n"
    "  termovel-dic search FILE.dic TEXT     термины, в статьях которых есть текст (без учёта\n"
    "                                        регистра)\n";

constexpr const char* kHelpUsage = "  termovel-dic --help | --version\n";

void printText(std::string_view cp1251) {
    const std::string utf8 = codepage::toUtf8(cp1251);
    print(gEscapeControls ? codepage::escapeControls(utf8) : utf8);
}

// UTF-8 text (a dictionary of another format read in place) as it is, control characters
// escaped on a terminal.
void printUtf8(std::string_view utf8) {
    print(gEscapeControls ? codepage::escapeControls(utf8) : std::string(utf8));
}

// How the dictionary's texts are printed: as their form is written.
auto printerOf(const TDictionary& d) {
    return d.textForm() == TTextForm::Utf8 ? printUtf8 : printText;
}

// Whether path is a dictionary of another format, read in place (see source.h); also one
// whose reader cannot open it, so that opening it tells why.
bool isSource(const std::string& path) {
    const TSourceOpener& opener = sourceOpener();
    if (!opener)
        return false;
    try {
        return opener(path) != nullptr;
    } catch (const TError&) {
        return true;
    }
}

// Windows-1251 text that goes out as it is (export), control characters escaped on a terminal.
void printData(std::string_view cp1251) {
    print(gEscapeControls ? codepage::escapeControls(cp1251, false) : std::string(cp1251));
}

void loadDictionary(TDictionary& d, const std::string& path) {
    try {
        d.LoadFromFile(path);
    } catch (const TError& e) {
        throw readFailure("Словарь", path, &e);
    }
}

// Opens the dictionary through its term index in the user's cache (made by the first use), so
// that its terms come from the index and only the articles asked for from the file.
void openIndexed(TDictionary& d, const std::string& path) {
    try {
        std::string refused;
        d.openIndexed(path, termIndexFolder(), nullptr, &refused);
        if (!refused.empty())
            printError("индекс не используется: " + refused);
    } catch (const TError& e) {
        throw readFailure("Словарь", path, &e);
    }
}

// Builds the text of every entry of the dictionary with write(position, out) and hands it to
// emit in pieces of about 64 KiB, so a large dictionary's listing is never held whole.
template <typename Write>
void emitEntries(const TDictionary& d, void (*emit)(std::string_view), Write write) {
    constexpr size_t kPiece = size_t{1} << 16;
    std::string out;
    for (int i = 0; i < d.Count(); ++i) {
        write(i, out);
        if (out.size() > kPiece) {
            emit(out);
            out.clear();
        }
    }
    emit(out);
}

int info(const std::string& path) {
    TDictionary d;
    openIndexed(d, path);
    const auto printShown = printerOf(d);
    print("Название словаря: ");
    printShown(d.Name());
    print("\nАвтор-составитель: ");
    printShown(d.Author());
    print("\nДополнительная информация: ");
    std::string description;
    for (char c : d.Info()) {
        if (c != '\r')
            description.push_back(c);
    }
    printShown(description);
    print("\nТерминов: " + std::to_string(d.Count()) + "\n");
    return kExitOk;
}

int list(const std::string& path) {
    TDictionary d;
    openIndexed(d, path);
    emitEntries(d, printerOf(d), [&](int i, std::string& out) {
        out.append(d.Term(i));
        out.push_back('\n');
    });
    return kExitOk;
}

// Writes one UTF-8 line to standard error as it is (no program name before it), control
// characters escaped on a terminal.
void printNote(const std::string& utf8) {
    const std::string text = (gEscapeErrors ? codepage::escapeControls(utf8) : utf8) + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
}

// The terms of the dictionary nearest to a word that nothing answered, in UTF-8 and joined
// for a message; "" when there are none or the dictionary does not load.
std::string suggestionText(const std::string& path, std::string_view word, TWordForms& forms) {
    TDictionary d;
    try {
        d.openIndexed(path, termIndexFolder());
    } catch (const TError&) {
        return {};
    }
    const std::vector<std::string> terms = dictionaryTerms(d);
    const TSuggestIndex index(terms);
    const std::vector<std::string> near = suggestTerms(
        forms, index, terms, word, [&](std::string_view t) { return d.Find(std::string(t)) >= 0; });
    std::string text;
    for (const std::string& term : near)
        text += (text.empty() ? "" : ", ") + codepage::toUtf8(term);
    return text;
}

// The look-up in a dictionary of another format: the term as given (UTF-8, blanks around it
// left out, as around the source's headwords), letter case ignored.
int lookupInSource(const std::string& path, std::string_view termUtf8, bool useIndex) {
    TDictionary d;
    std::string article;
    int at = -1;
    try {
        std::string refused;
        d.openIndexed(path, useIndex ? termIndexFolder() : std::string(), nullptr, &refused);
        if (!refused.empty())
            printError("индекс не используется: " + refused);
        at = d.Find(trimBlanks(termUtf8));
        if (at >= 0)
            article = d.Article(at);
    } catch (const TError& e) {
        throw readFailure("Словарь", path, &e);
    }
    if (at < 0)
        throw TFailure{"Термин не найден: " + std::string(termUtf8), kExitNotFound};
    printUtf8(article);
    if (article.empty() || article.back() != '\n')
        print("\n");
    return kExitOk;
}

int lookup(const std::string& path, std::string_view termUtf8, bool useIndex, bool exact) {
    requireReadable("Словарь", path);
    if (isSource(path))
        return lookupInSource(path, termUtf8, useIndex);
    const std::optional<std::string> held = foldForLookup(termUtf8);
    if (!held)
        throw TFailure{"Термин не найден: " + std::string(termUtf8) +
                           " (в кодировке Windows-1251 его не записать)",
                       kExitNotFound};
    const std::string& term = *held;
    bool refusalSaid = false;
    const auto find = [&](std::string_view candidate) -> std::optional<std::string> {
        try {
            if (!useIndex)
                return lookUpInFile(path, candidate);
            TIndexedLookup found = lookUpIndexed(path, candidate, termIndexFolder());
            // Said once: the forms below ask again through the same refused folder.
            if (!found.refusedFolder.empty() && !refusalSaid) {
                printError("индекс не используется: " + found.refusedFolder);
                refusalSaid = true;
            }
            return std::move(found.article);
        } catch (const TError& e) {
            throw readFailure("Словарь", path, &e);
        }
    };
    std::optional<std::string> article = find(term);
    if (!article && !exact) {
        // The word as a reader wrote it: punctuation around it dropped, then ё/е and its
        // dictionary forms; the term that answers is named, since it is not what was asked.
        TWordForms forms;
        const std::string word = cleanSelection(term);
        const TFormMatch match = findThroughForms(forms, word, [&](std::string_view candidate) {
            if (candidate == term)
                return false;
            article = find(candidate);
            return article.has_value();
        });
        if (match.found) {
            printNote("«" + std::string(termUtf8) + "» → " +
                      codepage::toUtf8(match.candidate.text));
        } else {
            const std::string near = suggestionText(path, word.empty() ? term : word, forms);
            throw TFailure{"Термин не найден: " + std::string(termUtf8) +
                               (near.empty() ? "" : "\nВозможно, вы искали: " + near),
                           kExitNotFound};
        }
    }
    if (!article)
        throw TFailure{"Термин не найден: " + std::string(termUtf8), kExitNotFound};
    printText(*article);
    if (article->empty() || article->back() != '\n')
        print("\n");
    return kExitOk;
}

// Why the file would not save back the same, for the user.
std::string flawText(const TDicCheck& check) {
    const std::string term = "«" + codepage::toUtf8(check.term) + "»";
    switch (check.flaw) {
        case TDicFlaw::None:
            return "ошибок нет";
        case TDicFlaw::Unreadable:
            return "данные обрываются или длина записи неверна (" + check.error + ")";
        case TDicFlaw::NegativeCount:
            return "отрицательное число терминов";
        case TDicFlaw::TrailingBytes:
            return "после последнего термина лишние байты (число терминов меньше числа записей)";
        case TDicFlaw::ZeroByte:
            return check.term.empty() ? "нулевой байт в заголовке или в пустом термине"
                                      : "нулевой байт в термине " + term + " или в его статье";
        case TDicFlaw::Duplicate:
            return "термин " + term + " повторяется (без учёта регистра)";
        case TDicFlaw::OutOfOrder:
            return "термин " + term +
                   " стоит не по порядку (файл повреждён или записан при другом порядке "
                   "сортировки)";
        case TDicFlaw::Other:
            break;
    }
    return "он отличается от своей пересохранённой копии";
}

int verify(const std::string& path) {
    requireReadable("Словарь", path);
    const TDicCheck check = checkDictionaryFile(path);
    if (!check.clean())
        throw TFailure{"Файл словаря " + path + " повреждён: " + flawText(check), kExitBadInput};
    print("Файл в порядке: терминов " + std::to_string(check.count) + "\n");
    return kExitOk;
}

// Loads the dictionary that an import is about to save over. A file that would not save back
// the same is refused unless forced: the save would drop what the loader skipped.
void loadForUpdate(TDictionary& d, const std::string& path, bool force) {
    requireReadable("Словарь", path);
    const TDicCheck check = checkDictionaryFile(path);
    if (!check.clean() && !force) {
        throw TFailure{
            "Словарь " + path + " загружается не полностью: " + flawText(check) +
                ".\nСохранение потеряло бы то, что пропустил загрузчик; словарь не изменён. "
                "Записать всё равно: --force",
            kExitBadInput};
    }
    try {
        d.LoadFromFile(path);
    } catch (const TError& e) {
        if (!force)
            throw readFailure("Словарь", path, &e);
        // Forced: what was read before the damage is kept and saved.
        printError("Словарь " + path + ": " + e.what() + "; сохранено то, что удалось прочитать");
    }
}

// ASCII text in small letters: names of encodings are compared without case, as everywhere.
std::string lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// options are the valued ones (--name, --author, --info), each followed by its value.
int import(const std::string& dicPath, const std::string& textPath,
           const std::vector<std::string>& options, bool tab, bool force) {
    std::optional<std::string> name, author, description;
    TImportEncoding encoding = TImportEncoding::Detect;
    const size_t valued = options.size();
    for (size_t i = 0; i < valued; i += 2) {
        if (i + 1 >= valued)
            throw TFailure{"Нет значения для " + options[i]};
        const std::string& value = options[i + 1];
        if (options[i] == "--name")
            name = toCodePage(value, "Название");
        else if (options[i] == "--author")
            author = toCodePage(value, "Автор");
        else if (options[i] == "--info")
            description = toCodePage(value, "Описание");
        else if (options[i] == "--encoding" && !tab && lower(value) == "cp1251")
            encoding = TImportEncoding::Cp1251;
        else if (options[i] == "--encoding" && !tab && lower(value) == "utf-8")
            encoding = TImportEncoding::Utf8;
        else if (options[i] == "--encoding")
            throw TFailure{"--encoding: ожидалось cp1251 или utf-8 (и без --tab), а не " + value};
        else
            throw TFailure{"Неизвестный параметр: " + options[i] + "\n" + kUsage};
    }

    requireDictionaryOrNothing(dicPath);
    // Importing a dictionary into itself would read scrambled bytes as text and save over it.
    if (sameFile(dicPath, textPath))
        throw TFailure{"Файл импорта " + textPath + " — это сам словарь; импорт отменён"};
    requireReadable("Файл импорта", textPath);
    // The whole read-modify-write holds the dictionary's lock: a second writer waits, then
    // fails, instead of one of the two losing the other's terms.
    std::unique_ptr<TSaveLock> lock;
    try {
        lock = std::make_unique<TSaveLock>(dicPath);
    } catch (const TError& e) {
        throw TFailure{std::string(e.what()) + "; словарь не изменён, повторите позже",
                       kExitWriteFailed};
    }
    TDictionary d;
    const bool existed = fileExists(dicPath);
    if (existed)
        loadForUpdate(d, dicPath, force);
    TImportResult result;
    try {
        if (tab) {
            const TTabImportResult read = importTabText(d, textPath);
            result.blocks = read.entries;
            result.added = read.added;
            if (read.malformed > 0)
                printError(textPath +
                           ": строк без табуляции пропущено: " + std::to_string(read.malformed));
        } else {
            result = importText(d, textPath, {}, encoding);
        }
    } catch (const TError& e) {
        throw readFailure("Файл импорта", textPath, &e);
    }
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
    saveDictionary(d, dicPath);
    if (!tab) {
        size_t warningsFrom = 0;
        const std::vector<std::string> notes = importNotes(result, textPath, &warningsFrom);
        for (size_t i = 0; i < notes.size(); ++i) {
            if (i < warningsFrom)
                print(notes[i] + "\n");
            else
                printError(notes[i]);
        }
    }
    print(std::string(existed ? "Словарь дополнен" : "Словарь создан") +
          (tab ? ": строк прочитано " : ": блоков прочитано ") + std::to_string(result.blocks) +
          ", терминов добавлено " + std::to_string(result.added) + ", всего " +
          std::to_string(d.Count()) + "\n");
    return kExitOk;
}

// What the import format loses of an entry, for the user.
std::string lossText(unsigned losses) {
    static const std::pair<unsigned, const char*> kTexts[] = {
        {kLossEmptyTerm, "пустой термин"},
        {kLossEmptyArticle, "пустая статья"},
        {kLossTermLineBreak, "перевод строки в термине"},
        {kLossTermTrailing, "пробел или управляющий символ в конце термина"},
        {kLossLineBlanks, "пробелы в начале или в конце строк статьи"},
        {kLossCarriageReturn, "переводы строк CR LF станут LF"},
        {kLossBlockEnd, "строка «~~~» в статье"},
        {kLossFinalLineBreak, "в конце статьи добавится перевод строки"},
        {kLossLongLine, "строка длиннее 4094 байт"},
        {kLossZeroByte, "нулевой байт"},
    };
    std::string out;
    for (const auto& [bit, text] : kTexts) {
        if (losses & bit)
            out += (out.empty() ? "" : ", ") + std::string(text);
    }
    return out;
}

int exportText(const std::string& path, bool tab) {
    TDictionary d;
    loadDictionary(d, path);
    if (tab) {
        writeTabText(d, printData);
        return kExitOk;
    }
    constexpr int kNamedLosses = 20;
    std::string warnings;
    int lossy = 0;
    emitEntries(d, printData, [&](int i, std::string& out) {
        appendImportBlock(out, d.Term(i), d.Article(i));
        if (const unsigned losses = importFormatLosses(d.Term(i), d.Article(i))) {
            if (++lossy <= kNamedLosses)
                warnings += "  «" + codepage::toUtf8(d.Term(i)) + "»: " + lossText(losses) + "\n";
        }
    });
    if (lossy > 0) {
        if (lossy > kNamedLosses)
            warnings += "  … и ещё " + std::to_string(lossy - kNamedLosses) + "\n";
        printError(path + ": формат импорта не передаст без изменений терминов: " +
                   std::to_string(lossy) + " (точная копия: export --tab)\n" + warnings);
    }
    return kExitOk;
}

int exportStarDict(const std::string& path, const std::string& ifoPath, bool force) {
    if (!ifoPath.ends_with(".ifo") || ifoPath.size() == 4)
        throw TFailure{ifoPath + ": имя файла StarDict должно оканчиваться на .ifo"};
    const std::string base = ifoPath.substr(0, ifoPath.size() - 4);
    // All three are checked before anything is read or written: the export makes all of them
    // or none.
    const std::string outputs[] = {ifoPath, base + ".idx", base + ".dict.dz"};
    for (const std::string& out : outputs)
        requireFileOrNothing("Файл StarDict", out, "обычный файл");
    for (const std::string& out : outputs)
        requireFreeUnlessForced(out, force);
    TDictionary d;
    loadDictionary(d, path);
    TStarDictReport report;
    try {
        report = writeStarDict(d, ifoPath);
    } catch (const TStarDictFileError& e) {
        const bool creating = isError(e, error_text::kCannotCreateFile);
        throw TFailure{"Файл StarDict " + e.file() + " не записан: " +
                           (creating ? "файл нельзя создать или заменить: " : "") +
                           writeProblem(e.cause()),
                       kExitWriteFailed};
    }
    // A headword longer than StarDict's limit would overrun its readers' buffers; it goes in
    // cut, its article whole, and each is named.
    constexpr size_t kNamedCuts = 20;
    const std::vector<int>& cut = report.cutTerms;
    for (size_t i = 0; i < cut.size() && i < kNamedCuts; ++i)
        printError("«" + codepage::toUtf8(d.Term(cut[i])) + "»: термин длиннее " +
                   std::to_string(kStarDictMaxWordBytes) +
                   " байт UTF-8, в StarDict записано его начало");
    if (cut.size() > kNamedCuts)
        printError("… и ещё терминов укорочено: " + std::to_string(cut.size() - kNamedCuts));
    print("Словарь StarDict записан: " + ifoPath + " (терминов " + std::to_string(d.Count()) +
          (cut.empty() ? "" : ", укорочено " + std::to_string(cut.size())) + ")\n");
    return kExitOk;
}

int search(const std::string& path, std::string_view textUtf8) {
    // A dictionary of another format is searched in its own UTF-8.
    const std::string text = isSource(path) ? std::string(textUtf8) : toCodePage(textUtf8, "Текст");
    if (text.empty())
        throw TFailure{"Пустой текст поиска\n" + std::string(kUsage)};
    TDictionary d;
    openIndexed(d, path);
    std::vector<int> found;
    try {
        found = findInArticles(d, text);
    } catch (const TError& e) {
        throw readFailure("Словарь", path, &e);
    }
    std::string out;
    for (int at : found) {
        out.append(d.Term(at));
        out.push_back('\n');
    }
    printerOf(d)(out);
    if (found.empty())
        throw TFailure{"Текст не найден ни в одной статье", kExitNotFound};
    return kExitOk;
}

int run(const std::vector<std::string>& args) {
    if (args.empty())
        throw TFailure{kUsage};
    if (const int code = runConvertCommand(args); code >= 0)
        return code;
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
        // --no-index and --exact may stand anywhere after the command; with two arguments
        // only, the second is the term looked up, whatever it says.
        std::vector<std::string> rest(args.begin() + 1, args.end());
        // Removes every occurrence of flag while more than the file and the term are left.
        const auto take = [&rest](std::string_view flag) {
            bool taken = false;
            for (auto at = std::find(rest.begin(), rest.end(), flag);
                 rest.size() > 2 && at != rest.end();
                 at = std::find(rest.begin(), rest.end(), flag)) {
                rest.erase(at);
                taken = true;
            }
            return taken;
        };
        const bool useIndex = !take("--no-index");
        const bool exact = take("--exact");
        if (rest.size() != 2)
            throw TFailure{kUsage};
        return lookup(rest[0], rest[1], useIndex, exact);
    }
    if (command == "verify") {
        need(1);
        return verify(args[1]);
    }
    if (command == "import") {
        // The flags --tab and --force may stand anywhere; they go behind the two files.
        std::vector<std::string> rest(args.begin() + 1, args.end());
        const auto flags = std::stable_partition(
            rest.begin(), rest.end(), [](const auto& a) { return a != "--tab" && a != "--force"; });
        if (flags - rest.begin() < 2)
            throw TFailure{kUsage};
        const bool tab = std::find(flags, rest.end(), "--tab") != rest.end();
        const bool force = std::find(flags, rest.end(), "--force") != rest.end();
        return import(rest[0], rest[1], std::vector<std::string>(rest.begin() + 2, flags), tab,
                      force);
    }
    if (command == "export") {
        // --tab, --stardict and --force may stand before or after the files.
        std::vector<std::string> rest(args.begin() + 1, args.end());
        if (std::find(rest.begin(), rest.end(), "--stardict") != rest.end()) {
            const auto flags = std::stable_partition(rest.begin(), rest.end(), [](const auto& a) {
                return a != "--stardict" && a != "--force";
            });
            if (flags - rest.begin() != 2)
                throw TFailure{kUsage};
            return exportStarDict(rest[0], rest[1],
                                  std::find(flags, rest.end(), "--force") != rest.end());
        }
        const auto tab = std::find(rest.begin(), rest.end(), "--tab");
        const bool isTab = tab != rest.end();
        if (isTab)
            rest.erase(tab);
        if (rest.size() != 1)
            throw TFailure{kUsage};
        return exportText(rest[0], isTab);
    }
    if (command == "search") {
        need(2);
        return search(args[1], args[2]);
    }
    if (command == "--help" || command == "-h" || command == "help") {
        print(kUsage);
        print(kConvertUsage);
        print(std::string(kHelpUsage) + kExitCodesHelp);
        return kExitOk;
    }
    if (command == "--version") {
        print("termovel-dic " TERMOVEL_VERSION "\n");
        return kExitOk;
    }
    throw TFailure{"Неизвестная команда: " + command + "\n" + kUsage};
}

// Standard streams that were closed get /dev/null, so that a file the tool opens never takes
// their place; output meant for a closed standard output is then reported as failed.
void guardStandardStreams() {
    for (int fd : {0, 1, 2}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
        if (fd == 1)
            gStdoutClosed = true;
    }
    gEscapeControls = ::isatty(1) == 1;
    gEscapeErrors = ::isatty(2) == 1;
}

}  // namespace

int main(int argc, char** argv) {
    guardStandardStreams();
    // Dictionaries of other formats (dictd, StarDict, DSL) open where they lie.
    setSourceOpener(openSourceReader);
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
    // A write may have failed at an earlier flush too; the stream's error flag remembers it.
    const bool outputFailed = std::fflush(stdout) != 0 || std::ferror(stdout);
    if (outputFailed && message.empty()) {
        code = kExitWriteFailed;
        message = gStdoutClosed ? "ошибка записи в стандартный вывод: вывод закрыт"
                                : "ошибка записи в стандартный вывод: " + writeProblem(errno);
    }
    if (!message.empty())
        printError(message);
    return code;
}
