// The window's import of a text file against the parser alone, on the same file in the same run:
// the window adds a progress window, the term in the status bar, a responsive event loop and
// the word list shown afresh, and all of that together must stay a small share of the parser's
// own time.
//
//   ImportWindowVsParser/n   each iteration imports the file once through the parser alone and
//                            once through the main window (ImportText into a new dictionary);
//                            the reported time is the window's, the counters give both and
//                            their ratio (window / parser).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "bench_app.h"
#include "dictionary/dictionary.h"
#include "dictionary_synthetic.h"
#include "interchange/text_import.h"
#include "platform/compare.h"
#include "settings/reg_setup.h"
#include "ui/dialogs.h"
#include "ui/main_form/main_form.h"
#include "ui/main_form/main_form_view.h"

namespace {

// The import text of n synthetic entries, written once per run.
const std::string& importTextOf(size_t n) {
    static QTemporaryDir folder;
    static std::map<size_t, std::string> files;
    auto found = files.find(n);
    if (found != files.end())
        return found->second;
    const std::string path = folder.filePath(QStringLiteral("import-%1.txt").arg(n)).toStdString();
    dictionary_synthetic::writeImportText(path, dictionary_synthetic::entries(n));
    return files.emplace(n, path).first->second;
}

// Real message boxes would wait for a user: every question about unsaved work is answered Yes.
class TDiscardingDialogs : public TQtDialogs {
public:
    TAnswer confirm(QWidget*, const QString&) override { return TAnswer::Yes; }
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

static void BM_ImportWindowVsParser(benchmark::State& state) {
    benchApplication();
    compare::setLocale("ru_RU");
    const std::string& path = importTextOf(static_cast<size_t>(state.range(0)));

    QTemporaryDir folder;
    TRegSetup setup(folder.filePath(QStringLiteral("termovel.ini")).toStdString());
    TMainForm form(setup, folder.path().toStdString(), std::make_unique<TDiscardingDialogs>());
    form.show();
    QApplication::processEvents();

    double parserSeconds = 0;
    double windowSeconds = 0;
    int terms = 0;
    for (auto _ : state) {
        {
            TDictionary dictionary;
            const auto start = std::chrono::steady_clock::now();
            importText(dictionary, path);
            parserSeconds += secondsSince(start);
        }
        form.actNewExecute();
        const auto start = std::chrono::steady_clock::now();
        form.ImportText(path);
        const double seconds = secondsSince(start);
        windowSeconds += seconds;
        state.SetIterationTime(seconds);
        terms = TMainFormView(form).dic(0).Count();
        form.actCloseExecute();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["parser_ms"] = parserSeconds * 1000 / n;
    state.counters["window_ms"] = windowSeconds * 1000 / n;
    state.counters["ratio"] = windowSeconds / parserSeconds;
    state.counters["terms"] = terms;
}
BENCHMARK(BM_ImportWindowVsParser)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
