#include "tools/convert_commands.h"

#include <cstdio>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "dictionary/dictionary.h"
#include "interchange/conversion.h"
#include "interchange/dict_data.h"
#include "interchange/dictd_reader.h"
#include "interchange/dsl_reader.h"
#include "interchange/mueller_reverse.h"
#include "interchange/stardict_reader.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "tools/tool_common.h"

const char* const kConvertUsage =
    "  termovel-dic from-dictd INDEX DICT[.dz] [INDEX DICT[.dz] ...] OUT.dic [ЗАГОЛОВОК]\n"
    "                                        словарь из баз dictd\n"
    "  termovel-dic from-stardict FILE.ifo [FILE.ifo ...] OUT.dic [ЗАГОЛОВОК]\n"
    "                                        словарь из словарей StarDict\n"
    "      ЗАГОЛОВОК: --name TEXT --author TEXT --info TEXT --info-file FILE\n"
    "      --force: заменить уже существующий OUT.dic\n"
    "      --abbreviations: с from-dsl — пометы [p] раскрыть по файлу сокращений\n"
    "                      ИМЯ_abrv.dsl рядом со словарём\n"
    "      --form prose: строки каждого абзаца статьи соединить в одну\n"
    "      --form mueller: статьи записаны по правилам словаря Мюллера (транскрипции\n"
    "                      знаками-заменителями, пометы с \"_\")\n"
    "      --reverse: с --form mueller — обратный, русско-английский словарь\n"
    "      --wordnet DIR: с --reverse — папка WordNet (cntlist.rev, index.noun, index.verb,\n"
    "                      index.adj, index.adv): частые английские слова ставятся выше\n"
    "                      редких, слитно записанные составные слова пишутся как в WordNet\n"
    "      --supplement FILE: с --reverse — свои переводы (UTF-8, строка на перевод: русское\n"
    "                      слово, английское, часть речи, пример — через табуляцию)\n";

namespace {

struct THeaderOptions {
    std::optional<std::string> name, author, info;
    bool force = false;
    TArticleForm form = TArticleForm::asIs;
    bool reverse = false;
    bool abbreviations = false;  // DSL: [p] marks expanded from the abbreviation file
    std::optional<std::string> wordnet, supplement;  // for the reverse index
};

// Splits the arguments after the command into file names and header options.
std::vector<std::string> parse(const std::vector<std::string>& args, THeaderOptions& header) {
    std::vector<std::string> files;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!a.starts_with("--")) {
            files.push_back(a);
            continue;
        }
        if (a == "--force") {
            header.force = true;
            continue;
        }
        if (a == "--abbreviations") {
            header.abbreviations = true;
            continue;
        }
        if (a == "--reverse") {
            header.reverse = true;
            continue;
        }
        if (i + 1 >= args.size())
            throw TFailure{"Нет значения для " + a};
        const std::string& v = args[++i];
        if (a == "--form") {
            if (v == "mueller")
                header.form = TArticleForm::mueller;
            else if (v == "prose")
                header.form = TArticleForm::prose;
            else if (v != "as-is")
                throw TFailure{"Неизвестная форма статей: " + v + " (есть as-is, prose, mueller)"};
        } else if (a == "--wordnet") {
            header.wordnet = v;
        } else if (a == "--supplement") {
            header.supplement = v;
        } else if (a == "--name") {
            header.name = toCodePage(v, "Название");
        } else if (a == "--author") {
            header.author = toCodePage(v, "Автор");
        } else if (a == "--info" || a == "--info-file") {
            std::string text = v;
            if (a == "--info-file") {
                requireReadable("Файл описания", v);
                TDictData file(v);
                text = std::string(file.all());
                while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                    text.pop_back();
            }
            header.info = withCrLf(toCodePage(text, "Описание"));
        } else {
            throw TFailure{"Неизвестный параметр: " + a};
        }
    }
    return files;
}

void printReport(const std::string& out, const TConversionReport& r) {
    print(conversionReportText(out, r));
}

enum class TSource { dictd, stardict, dsl };

// Reads one database into the conversion (files: the index and data of dictd, the .ifo of
// StarDict, or the DSL file). A failure names the file: the core's own messages name it, and a file
// that cannot be opened is told apart (missing, a folder, a device, a loop of links). Articles lost
// to a damaged chunk are added to skipped, and what a DSL file held that could not be read to
// notes.
void readDatabase(const std::vector<std::string>& files, TSource source, bool abbreviations,
                  TConversion& conversion, std::vector<std::string>& skipped,
                  std::vector<std::string>& notes) {
    const std::string database = source == TSource::dictd
                                     ? "База dictd " + files[0] + " " + files[1]
                                 : source == TSource::stardict ? "Словарь StarDict " + files[0]
                                                               : "Словарь DSL " + files[0];
    try {
        if (source == TSource::dictd) {
            readDictd(files[0], files[1], conversion, &skipped);
        } else if (source == TSource::stardict) {
            readStarDict(files[0], conversion, &skipped);
        } else {
            TDslNotes dsl;
            readDsl(files[0], conversion, abbreviations, dsl);
            for (std::string& line : dsl.lines(files[0]))
                notes.push_back(std::move(line));
        }
    } catch (const TError& e) {
        const std::string_view opening = error_text::kCannotOpenFile;
        if (isError(e, opening)) {
            const std::string path =
                std::string(e.what()).substr(opening.substr(0, opening.find('%')).size());
            throw readFailure("Файл", path, &e);
        }
        for (const std::string& file : files) {
            if (std::string_view(e.what()).find(file) != std::string_view::npos)
                throw;
        }
        const std::string reason = isError(e, error_text::kOutOfMemory)
                                       ? std::string("не хватает памяти, чтобы прочитать его")
                                       : e.what();
        throw TFailure{database + ": " + reason, kExitBadInput};
    } catch (const std::bad_alloc&) {
        throw TFailure{database + ": не хватает памяти, чтобы прочитать её", kExitBadInput};
    }
}

}  // namespace

int runConvertCommand(const std::vector<std::string>& args) {
    if (args.empty())
        return -1;
    std::optional<TSource> known;
    if (args[0] == "from-dictd")
        known = TSource::dictd;
    else if (args[0] == "from-stardict")
        known = TSource::stardict;
    else if (args[0] == "from-dsl")
        known = TSource::dsl;
    if (!known)
        return -1;
    const TSource source = *known;
    THeaderOptions header;
    const std::vector<std::string> files = parse(args, header);
    const size_t group = source == TSource::dictd ? 2 : 1;
    if (files.size() < group + 1 || (files.size() - 1) % group != 0)
        throw TFailure{std::string("Использование:\n") + kConvertUsage};

    requireDictionaryOrNothing(files.back());
    requireFreeUnlessForced(files.back(), header.force);

    if (header.abbreviations && source != TSource::dsl)
        throw TFailure{
            "--abbreviations раскрывает пометы словарей DSL: оно действует только с "
            "from-dsl"};

    if (header.reverse && header.form != TArticleForm::mueller)
        throw TFailure{
            "--reverse строит обратный словарь только из словаря Мюллера (--form mueller)"};

    if ((header.wordnet || header.supplement) && !header.reverse)
        throw TFailure{
            "--wordnet и --supplement задают порядок и дополнения обратного словаря: "
            "они действуют только с --reverse"};

    TConversion conversion;
    conversion.setForm(header.form);
    if (header.reverse) {
        conversion.setMuellerReverse();
        if (header.wordnet) {
            TMuellerReverse& reverse = *conversion.muellerReverse();
            const std::string cntlist = *header.wordnet + "/cntlist.rev";
            requireReadable("Файл частот WordNet", cntlist);
            if (reverse.setFrequencies(TDictData(cntlist).all()) == 0)
                throw TFailure{"Файл частот " + cntlist + ": нет ни одной строки вида cntlist.rev",
                               kExitBadInput};
            for (const char* part : {"noun", "verb", "adj", "adv"}) {
                const std::string index = *header.wordnet + "/index." + part;
                requireReadable("Указатель слов WordNet", index);
                if (reverse.addLemmas(TDictData(index).all()) == 0)
                    throw TFailure{"Указатель слов " + index + ": в нём нет ни одного слова",
                                   kExitBadInput};
            }
        }
        if (header.supplement) {
            requireReadable("Таблица переводов", *header.supplement);
            TDictData file(*header.supplement);
            try {
                conversion.muellerReverse()->addSupplement(file.all());
            } catch (const std::invalid_argument& e) {
                throw TFailure{"Таблица переводов " + *header.supplement + ": " + e.what(),
                               kExitBadInput};
            }
        }
    }
    std::vector<std::string> skipped, notes;
    for (size_t i = 0; i + 1 < files.size(); i += group)
        readDatabase(
            {files.begin() + static_cast<long>(i), files.begin() + static_cast<long>(i + group)},
            source, header.abbreviations, conversion, skipped, notes);
    for (const std::string& note : notes)
        printError(note);
    // A damaged chunk costs only the articles inside it; each is named.
    constexpr size_t kNamedSkips = 20;
    for (size_t i = 0; i < skipped.size() && i < kNamedSkips; ++i)
        printError(skipped[i]);
    if (skipped.size() > kNamedSkips)
        printError("… и ещё статей пропущено: " + std::to_string(skipped.size() - kNamedSkips));
    TDictionary dictionary;
    TConversionReport report;
    const TFailure outOfMemory{"Словарь " + files.back() + " не создан: не хватает памяти",
                               kExitBadInput};
    try {
        report = conversion.finish(dictionary);
    } catch (const std::bad_alloc&) {
        throw outOfMemory;
    } catch (const TError& e) {
        if (isError(e, error_text::kOutOfMemory))
            throw outOfMemory;
        throw;
    }
    if (header.name)
        dictionary.SetName(*header.name);
    if (header.author)
        dictionary.SetAuthor(*header.author);
    if (header.info)
        dictionary.SetInfo(*header.info);
    saveDictionary(dictionary, files.back());
    printReport(files.back(), report);
    if (!skipped.empty())
        print("Статей в повреждённых сжатых фрагментах пропущено: " +
              std::to_string(skipped.size()) + "\n");
    return 0;
}
