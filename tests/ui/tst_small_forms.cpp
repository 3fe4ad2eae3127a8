// The splash, the tip of the day and the about window: the splash's timer and link, the tips'
// order and text, and how the about window closes and opens its links.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <climits>
#include <memory>
#include <set>

#include "dictionary/dictionary.h"
#include "settings/program_identity.h"
#include "settings/reg_setup.h"
#include "support/fake_dialogs.h"
#include "ui/dialogs/about_form.h"
#include "ui/dialogs/article_search_form.h"
#include "ui/dialogs/form_parts.h"
#include "ui/dialogs/import_progress.h"
#include "ui/dialogs/info_form.h"
#include "ui/dialogs/logo_form.h"
#include "ui/dialogs/options_form.h"
#include "ui/dialogs/tip_form.h"
#include "ui/dialogs/word_form.h"

namespace {

const QString kHeader = "А знаете ли вы что?...";

// A link opener that records what it was given.
struct TOpened {
    QStringList addresses;
    TLinkOpener opener() {
        return [this](const QString& address) {
            addresses << address;
            return true;
        };
    }
};

// The captions of window that its control cuts: each label, check box and button whose text
// needs more width than the control has (a wrapping label: more height), as "name «text»".
QStringList cutCaptions(const QWidget& window) {
    QStringList cut;
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        if (!control->isVisibleTo(&window))
            continue;
        QString text;
        QSize needed;
        if (const auto* label = qobject_cast<const QLabel*>(control)) {
            text = label->text();
            needed = label->wordWrap() ? QSize(0, label->heightForWidth(label->width()))
                                       : QSize(label->sizeHint().width(), 0);
        } else if (const auto* push = qobject_cast<const QPushButton*>(control)) {
            // Not the size hint: the style's hint widens every button to a minimum of its own.
            text = push->text();
            const QStyle* style = push->style();
            needed.setWidth(push->fontMetrics().horizontalAdvance(QString(text).remove('&')) +
                            style->pixelMetric(QStyle::PM_ButtonMargin) +
                            2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth));
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
            text = button->text();
            needed.setWidth(button->sizeHint().width());
        } else if (const auto* group = qobject_cast<const QGroupBox*>(control)) {
            text = group->title();
            needed.setWidth(group->minimumSizeHint().width());
        }
        if (text.isEmpty())
            continue;
        if (needed.width() > control->width() || needed.height() > control->height())
            cut << QStringLiteral("%1 «%2»").arg(control->objectName(), text);
    }
    return cut;
}

QString tipText(int index) {
    return kHeader + "\n\n" + Tips()[index];
}

}  // namespace

class TestSmallForms : public QObject {
    Q_OBJECT

private slots:
    // Every caption of every dialog fits its control at the dialogs' font, whichever face the
    // system gives it: Liberation Sans, of Arial's metrics, or DejaVu Sans where Liberation is
    // missing (the test runs once more so, its face named by TERMOVEL_DIALOG_FACE).
    void captionsFitTheirControls_data() {
        QTest::addColumn<QString>("dialog");
        for (const char* dialog :
             {"settings", "information", "information, editable", "tip", "about", "splash",
              "search in articles", "import progress", "adding"})
            QTest::newRow(dialog) << dialog;
    }
    void captionsFitTheirControls() {
        QFETCH(QString, dialog);
        const QString face = qEnvironmentVariable("TERMOVEL_DIALOG_FACE", "Liberation Sans");
        QCOMPARE(QFontInfo(dialogFont()).family(), face);
        QTemporaryDir dir;
        TRegSetup setup(dir.filePath("termovel.ini").toStdString());
        TFakeDialogs dialogs;
        TDictionary dictionary;
        std::unique_ptr<QWidget> window;
        if (dialog == "settings") {
            window = std::make_unique<TOptionsForm>(setup, dir.path().toStdString(), dialogs);
        } else if (dialog.startsWith("information")) {
            auto info = std::make_unique<TInfoForm>(dialogs);
            if (dialog.endsWith("editable"))
                info->MakeEditable();
            info->fill(dictionary);
            window = std::move(info);
        } else if (dialog == "tip") {
            window = std::make_unique<TTipForm>();
        } else if (dialog == "about") {
            window = std::make_unique<TAboutForm>();
        } else if (dialog == "splash") {
            window = std::make_unique<TLogoForm>();
        } else if (dialog == "search in articles") {
            window = std::make_unique<TArticleSearchForm>(dictionary, dialogs, nullptr);
        } else if (dialog == "import progress") {
            window = std::make_unique<TImportProgressForm>();
        } else {
            auto adding = std::make_unique<TWordForm>(nullptr);
            adding->SetAdding();
            window = std::move(adding);
        }
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QStringList cut = cutCaptions(*window);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));
    }

    // --- Splash ---
    void splashShowsTitlePictureAndFittingLabels() {
        TOpened opened;
        TLogoForm logo(opened.opener());
        QCOMPARE(logo.lbTitle->text(), QString("Termovel v1.00"));
        QVERIFY(!logo.Image1->pixmap().isNull());
        // The notice and the link share the bottom strip and stay inside the window.
        QVERIFY(logo.Label2->geometry().right() < logo.lbURL->x());
        QVERIFY(logo.lbURL->geometry().right() < 300);
    }

    void splashTimerRunsFromCreationAndStopsAfterItsOneFiring() {
        TLogoForm logo;
        QVERIFY(logo.timerEnabled());
        QElapsedTimer clock;
        clock.start();
        QSignalSpy fired(logo.Timer1, &QTimer::timeout);
        QTRY_VERIFY_WITH_TIMEOUT(!logo.timerEnabled(), 5000);
        QVERIFY(clock.elapsed() >= 2000);
        QCOMPARE(fired.count(), 1);
        QTest::qWait(100);
        QCOMPARE(fired.count(), 1);
    }

    void splashLinkOpensTheMakersSite() {
        TOpened opened;
        TLogoForm logo(opened.opener());
        logo.show();
        QTest::mouseClick(logo.lbURL, Qt::LeftButton);
        QCOMPARE(opened.addresses, QStringList{QString::fromUtf8(kMakerSite)});
        QTest::mouseClick(logo.Image1, Qt::LeftButton);
        QCOMPARE(opened.addresses.size(), 1);
        QVERIFY(logo.isVisible());
    }

    // --- Tips ---
    void eachTipCanComeFirst_data() {
        QTest::addColumn<uint>("drawn");
        QTest::addColumn<int>("first");
        for (uint i = 0; i < 6; ++i)
            QTest::addRow("drawn %u", i) << i << int(i);
        QTest::newRow("drawn 6") << 6u << 0;
        QTest::newRow("drawn 11") << 11u << 5;
        QTest::newRow("largest draw") << uint(UINT_MAX) << int(UINT_MAX % 6);
    }
    void eachTipCanComeFirst() {
        QFETCH(uint, drawn);
        QFETCH(int, first);
        TTipForm tip(nullptr, [drawn] { return drawn; });
        QCOMPARE(tip.Memo1->toPlainText(), QString());
        tip.show();
        QCOMPARE(tip.TipIndex, first);
        QCOMPARE(tip.Memo1->toPlainText(), tipText(first));
    }

    void nextWalksTheTableAndSixReturnToTheFirst_data() {
        QTest::addColumn<int>("first");
        for (int i = 0; i < 6; ++i)
            QTest::addRow("from %d", i) << i;
    }
    void nextWalksTheTableAndSixReturnToTheFirst() {
        QFETCH(int, first);
        TTipForm tip(nullptr, [first] { return unsigned(first); });
        tip.show();
        std::set<int> seen{tip.TipIndex};
        for (int step = 1; step <= 6; ++step) {
            QTest::mouseClick(tip.Button2, Qt::LeftButton);
            const int expected = (first + step) % 6;
            QCOMPARE(tip.TipIndex, expected);
            // Exactly the header, an empty line and one tip: nothing piles up.
            QCOMPARE(tip.Memo1->toPlainText(), tipText(expected));
            seen.insert(tip.TipIndex);
        }
        QCOMPARE(tip.TipIndex, first);
        QCOMPARE(seen.size(), size_t(6));
    }

    void showingAgainDoesNotAddTheTipTwice() {
        TTipForm tip(nullptr, [] { return 2u; });
        tip.show();
        tip.hide();
        tip.show();
        QCOMPARE(tip.Memo1->toPlainText(), tipText(2));
    }

    void timeSeededDrawGivesATipOfTheTable() {
        TTipForm tip;
        tip.show();
        QVERIFY(tip.TipIndex >= 0 && tip.TipIndex < 6);
        QCOMPARE(tip.Memo1->toPlainText(), tipText(tip.TipIndex));
    }

    void closeButtonIsTheDefaultAndAcceptsTheWindow() {
        TTipForm tip;
        tip.show();
        QTest::keyClick(&tip, Qt::Key_Return);
        QVERIFY(!tip.isVisible());
        QCOMPARE(tip.result(), int(QDialog::Accepted));
    }

    // --- About ---
    void aboutLabelsFitTheirPlaces() {
        TAboutForm about;
        QCOMPARE(about.lbTitle->text(), QString("Termovel v1.00"));
        QVERIFY(about.lbURL->geometry().right() < 360);
        QVERIFY(about.Label3->geometry().right() < about.lbURL->x());
        // Label2's wrapped lines end above the e-mail address.
        QVERIFY(about.Label2->geometry().bottom() < about.lbEmail->y());
    }

    void aboutClosesOnEscAndOnThePictureOnly_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Esc") << "Escape" << true;
        QTest::newRow("click on the picture") << "picture" << true;
        QTest::newRow("Return") << "Return" << false;
        QTest::newRow("Enter") << "Enter" << false;
        QTest::newRow("Space") << "Space" << false;
        QTest::newRow("letter") << "A" << false;
        QTest::newRow("click on a plain label") << "label" << false;
        QTest::newRow("right click on the picture") << "right" << false;
    }
    void aboutClosesOnEscAndOnThePictureOnly() {
        QFETCH(QString, input);
        QFETCH(bool, closes);
        TOpened opened;
        TAboutForm about(nullptr, opened.opener());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        // A point of the picture that no label covers: the left column.
        const QPoint bare(40, 200);
        QVERIFY(about.childAt(bare) == about.Image1);
        if (input == "picture")
            QTest::mouseClick(about.Image1, Qt::LeftButton, {}, bare);
        else if (input == "right")
            QTest::mouseClick(about.Image1, Qt::RightButton, {}, bare);
        else if (input == "label")
            QTest::mouseClick(about.Label1, Qt::LeftButton);
        else if (input == "Escape")
            QTest::keyClick(&about, Qt::Key_Escape);
        else if (input == "Return")
            QTest::keyClick(&about, Qt::Key_Return);
        else if (input == "Enter")
            QTest::keyClick(&about, Qt::Key_Enter);
        else if (input == "Space")
            QTest::keyClick(&about, Qt::Key_Space);
        else
            QTest::keyClick(&about, Qt::Key_A);
        QCOMPARE(about.isVisible(), !closes);
        QVERIFY(opened.addresses.isEmpty());
    }

    void aboutLinksOpenTheirAddressesAndLeaveTheWindowOpen() {
        TOpened opened;
        TAboutForm about(nullptr, opened.opener());
        about.show();
        QTest::mouseClick(about.lbProgramSite, Qt::LeftButton);
        QTest::mouseClick(about.lbEmail, Qt::LeftButton);
        QTest::mouseClick(about.lbURL, Qt::LeftButton);
        QCOMPARE(opened.addresses, QStringList({QString::fromUtf8(ProgramSite),
                                                "mailto:" + QString::fromUtf8(kProgramEmail),
                                                QString::fromUtf8(kMakerSite)}));
        QVERIFY(about.isVisible());
    }
};

QTEST_MAIN(TestSmallForms)
#include "tst_small_forms.moc"
