#include "tools/convert_commands.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "dictionary/dictionary.h"
#include "interchange/conversion.h"
#include "interchange/dict_data.h"
#include "interchange/dictd_reader.h"
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
    "      --form prose: строки каждого абзаца статьи соединить в одну\n"
    "      --form mueller: статьи записаны по правилам словаря Мюллера (транскрипции\n"
    "                      знаками-заменителями, пометы с \"_\")\n"
    "      --reverse: с --form mueller — обратный, русско-английский словарь\n";

namespace {

struct THeaderOptions {
    std::optional<std::string> name, author, info;
    bool force = false;
    TArticleForm form = TArticleForm::asIs;
    bool reverse = false;
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
        } else if (a == "--name") {
            header.name = toCodePage(v, "Название");
        } else if (a == "--author") {
            header.author = toCodePage(v, "Автор");
        } else if (a == "--info" || a == "--info-file") {
            std::string text = v;
            if (a == "--info-file") {
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
    std::printf(
        "Словарь создан: %s\n"
        "Статей прочитано: %d\n"
        "Терминов: %d (статей присоединено к статье того же термина: %d)\n"
        "Заголовков пропущено (символы вне Windows-1251 или пустой заголовок): %d\n"
        "Статей без текста пропущено: %d\n"
        "Символов заменено близкими: %llu\n"
        "Символов заменено на \"?\": %llu\n",
        out.c_str(), r.entries, r.terms, r.joined, r.leftOut, r.emptyArticles,
        static_cast<unsigned long long>(r.characters.folded),
        static_cast<unsigned long long>(r.characters.replaced));
}

}  // namespace

int runConvertCommand(const std::vector<std::string>& args) {
    if (args.empty())
        return -1;
    const bool dictd = args[0] == "from-dictd";
    if (!dictd && args[0] != "from-stardict")
        return -1;
    THeaderOptions header;
    const std::vector<std::string> files = parse(args, header);
    const size_t group = dictd ? 2 : 1;
    if (files.size() < group + 1 || (files.size() - 1) % group != 0)
        throw TFailure{std::string("Использование:\n") + kConvertUsage};

    // A dictionary already at the output may be someone's work: it is replaced only on request.
    if (!header.force && fileExists(files.back()))
        throw TFailure{files.back() + ": файл уже есть; чтобы заменить его, добавьте --force"};

    if (header.reverse && header.form != TArticleForm::mueller)
        throw TFailure{
            "--reverse строит обратный словарь только из словаря Мюллера (--form mueller)"};

    TConversion conversion;
    conversion.setForm(header.form);
    if (header.reverse)
        conversion.setMuellerReverse();
    for (size_t i = 0; i + 1 < files.size(); i += group) {
        if (dictd)
            readDictd(files[i], files[i + 1], conversion);
        else
            readStarDict(files[i], conversion);
    }
    TDictionary dictionary;
    const TConversionReport report = conversion.finish(dictionary);
    if (header.name)
        dictionary.SetName(*header.name);
    if (header.author)
        dictionary.SetAuthor(*header.author);
    if (header.info)
        dictionary.SetInfo(*header.info);
    dictionary.SaveToFile(files.back());
    printReport(files.back(), report);
    return 0;
}
