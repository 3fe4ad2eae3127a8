// «Найти в статьях» on WordNet (147 k terms, 34 MB of articles): from the text given to the
// list of terms shown in the search window, beside the bare core search over the same
// articles. The dictionary is build/dics/en_wordnet.dic (TERMOVEL_WORDNET names another file);
// without it the benchmark says so and measures nothing.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QListView>

#include <string>

#include "bench_app.h"
#include "dictionary/article_search.h"
#include "dictionary/dictionary.h"
#include "ui/dialogs.h"
#include "ui/dialogs/article_search_form.h"
#include "wordnet_dictionary.h"

namespace {

// Texts with few, many and no matches.
const char* const kTexts[] = {"feline", "the", "xyzzy"};

void BM_ArticleSearchWindow_WordNet(benchmark::State& state) {
    benchApplication();
    const TDictionary* dictionary = wordNet();
    if (!dictionary) {
        state.SkipWithError(kNoWordNet);
        return;
    }
    TQtDialogs dialogs;
    TArticleSearchForm form(*dictionary, dialogs, nullptr);
    form.show();
    form.setText(QString::fromLatin1(kTexts[state.range(0)]));
    for (auto _ : state) {
        form.search();
        // The list laid out and painted: what the user sees.
        QApplication::processEvents();
        form.lbFound->viewport()->repaint();
    }
    state.counters["found"] = static_cast<double>(form.found().size());
    state.SetLabel(kTexts[state.range(0)]);
}
BENCHMARK(BM_ArticleSearchWindow_WordNet)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ArticleSearchCore_WordNet(benchmark::State& state) {
    const TDictionary* dictionary = wordNet();
    if (!dictionary) {
        state.SkipWithError(kNoWordNet);
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(findInArticles(*dictionary, kTexts[state.range(0)]));
    state.SetLabel(kTexts[state.range(0)]);
}
BENCHMARK(BM_ArticleSearchCore_WordNet)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
