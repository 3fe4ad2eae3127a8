// The look-up side at a million terms, each figure beside the literal way of doing the same
// work: a tab change (one model reset and the view's layout) against filling a QListWidget
// item by item, and one keystroke of incremental search against a scan from the first row.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QTabBar>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_app.h"
#include "dictionary/dictionary.h"
#include "dictionary/prefix_search.h"
#include "dictionary_synthetic.h"
#include "platform/codepage.h"
#include "platform/compare.h"
#include "platform/upcase.h"
#include "reference/reference.h"
#include "settings/reg_setup.h"
#include "ui/main_form/main_form.h"
#include "ui/main_form/main_form_view.h"

namespace {

constexpr int kMillion = 1'000'000;

QApplication& application() {
    return benchApplication();
}

// One dictionary of at least n synthetic terms (the generator repeats a few) per size, built
// once for the whole run.
const TDictionary& dictionaryOf(int n) {
    static std::map<int, std::unique_ptr<TDictionary>> cache;
    auto& slot = cache[n];
    if (!slot) {
        compare::setLocale("ru_RU");
        slot = std::make_unique<TDictionary>();
        TTermBatch batch;
        const size_t generated = static_cast<size_t>(n) + static_cast<size_t>(n) / 50;
        for (const auto& [term, article] : dictionary_synthetic::entries(generated))
            batch.add(term, article);
        slot->addTerms(std::move(batch));
    }
    return *slot;
}

// Prefixes of the given length taken from terms spread over the whole dictionary, with a few
// that begin no term, in a fixed order.
std::vector<std::string> prefixes(const TDictionary& dictionary, int length) {
    std::mt19937 random(4242 + static_cast<unsigned>(length));
    std::vector<std::string> out;
    for (int i = 0; i < 400; ++i) {
        if (i % 10 == 9) {
            out.push_back(std::string(static_cast<size_t>(length), '~'));
            continue;
        }
        const int position = static_cast<int>(random() % static_cast<unsigned>(dictionary.Count()));
        std::string term(dictionary.Term(position));
        term.resize(std::min(term.size(), static_cast<size_t>(length)));
        out.push_back(upcase::text(term).substr(0, term.size()));
    }
    return out;
}

double median(std::vector<double> samples) {
    std::nth_element(samples.begin(), samples.begin() + static_cast<long>(samples.size() / 2),
                     samples.end());
    return samples[samples.size() / 2];
}

// The real window with the million-term dictionary in tab 0 and a one-term one in tab 1.
struct TWindowWithMillion {
    QTemporaryDir folder;
    std::unique_ptr<TRegSetup> setup;
    std::unique_ptr<TMainForm> form;

    TWindowWithMillion() {
        application();
        const TDictionary& source = dictionaryOf(kMillion);
        setup = std::make_unique<TRegSetup>(folder.filePath("termovel.ini").toStdString());
        form = std::make_unique<TMainForm>(*setup, folder.path().toStdString());
        auto big = std::make_unique<TDictionary>();
        TTermBatch batch;
        for (int i = 0; i < source.Count(); ++i)
            batch.add(source.Term(i), source.Article(i));
        big->addTerms(std::move(batch));
        auto small = std::make_unique<TDictionary>();
        small->AddTerm("one", "");
        form->addDictionary(std::move(big), QStringLiteral("big.dic"));
        form->addDictionary(std::move(small), QStringLiteral("small.dic"));
        form->show();
        QApplication::processEvents();
    }
    void changeTab(int tab) {
        bool allow = true;
        TMainFormView(*form).TabSet()->setCurrentIndex(tab);
        form->TabSetChange(tab, allow);
        TMainFormView(*form).ListBox()->doItemsLayout();
        TMainFormView(*form).ListBox()->viewport()->repaint();
    }
};

TWindowWithMillion& windowWithMillion() {
    // Never destroyed, like the application it needs: widgets torn down by the static
    // destructors after main() has returned would outlive Qt's own globals.
    static auto* window = new TWindowWithMillion;
    return *window;
}

}  // namespace

// Tab change to the million-term dictionary: one model reset, the view laid out again.
static void BM_TabChange_WordListModel(benchmark::State& state) {
    TWindowWithMillion& window = windowWithMillion();
    for (auto _ : state) {
        state.PauseTiming();
        window.changeTab(1);
        state.ResumeTiming();
        window.changeTab(0);
    }
    state.counters["rows"] = TMainFormView(*window.form).ListBox()->model()->rowCount();
}
BENCHMARK(BM_TabChange_WordListModel)->Unit(benchmark::kMillisecond)->Iterations(20);

// The literal way: a list widget filled item by item with the same terms, drawing suspended.
static void BM_TabChange_QListWidgetFill(benchmark::State& state) {
    application();
    const TDictionary& dictionary = dictionaryOf(kMillion);
    const int n = static_cast<int>(state.range(0));
    QListWidget list;
    list.setUniformItemSizes(true);
    list.show();
    for (auto _ : state) {
        list.setUpdatesEnabled(false);
        list.clear();
        for (int i = 0; i < n; ++i)
            list.addItem(QString::fromStdString(codepage::toUtf8(dictionary.Term(i))));
        list.setUpdatesEnabled(true);
        list.doItemsLayout();
        list.viewport()->repaint();
    }
    state.counters["rows"] = n;
}
BENCHMARK(BM_TabChange_QListWidgetFill)
    ->Arg(100'000)
    ->Arg(kMillion)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// Building the prefix index: done once, on the first keystroke after a tab change.
static void BM_PrefixIndexBuild(benchmark::State& state) {
    const TDictionary& dictionary = dictionaryOf(kMillion);
    TPrefixSearch search(&dictionary);
    for (auto _ : state)
        search.build();
}
BENCHMARK(BM_PrefixIndexBuild)->Unit(benchmark::kMillisecond)->Iterations(3);

// One keystroke through the index, per prefix length; median over the prefixes reported.
static void BM_Keystroke_PrefixIndex(benchmark::State& state) {
    const TDictionary& dictionary = dictionaryOf(kMillion);
    const std::vector<std::string> texts = prefixes(dictionary, static_cast<int>(state.range(0)));
    TPrefixSearch search(&dictionary);
    search.build();
    std::vector<double> samples;
    size_t k = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(search.find(texts[k]));
        samples.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
        k = (k + 1) % texts.size();
    }
    state.counters["median_us"] = median(samples);
}
BENCHMARK(BM_Keystroke_PrefixIndex)->DenseRange(1, 6)->Unit(benchmark::kMicrosecond);

// The literal way: scan the rows from the first one.
static void BM_Keystroke_LinearScan(benchmark::State& state) {
    const TDictionary& dictionary = dictionaryOf(kMillion);
    const std::vector<std::string> texts = prefixes(dictionary, static_cast<int>(state.range(0)));
    std::vector<double> samples;
    size_t k = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(reference::linearPrefixSearch(dictionary, texts[k]));
        samples.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
        k = (k + 1) % texts.size();
    }
    state.counters["median_us"] = median(samples);
}
BENCHMARK(BM_Keystroke_LinearScan)
    ->DenseRange(1, 6)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// A whole keystroke in the window: the search box's text changes, the handler searches,
// selects the row and scrolls it into view.
static void BM_Keystroke_Window(benchmark::State& state) {
    TWindowWithMillion& window = windowWithMillion();
    window.changeTab(0);
    const TDictionary& dictionary = TMainFormView(*window.form).dic(0);
    const std::vector<std::string> texts = prefixes(dictionary, static_cast<int>(state.range(0)));
    QLineEdit* edit = TMainFormView(*window.form).cmbString()->lineEdit();
    edit->setText(QStringLiteral("a"));  // the first keystroke builds the index
    std::vector<double> samples;
    size_t k = 0;
    for (auto _ : state) {
        const QString text = QString::fromStdString(codepage::toUtf8(texts[k]));
        const auto start = std::chrono::steady_clock::now();
        edit->setText(text);
        samples.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
        k = (k + 1) % texts.size();
    }
    state.counters["median_us"] = median(samples);
}
BENCHMARK(BM_Keystroke_Window)->DenseRange(1, 6)->Unit(benchmark::kMicrosecond);
