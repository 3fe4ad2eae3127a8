// The splash, the tip of the day and the about window: the splash's timer and link, the tips'
// order and text, and how the about window closes and opens its links.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <climits>
#include <set>

#include "settings/program_identity.h"
#include "ui/dialogs/about_form.h"
#include "ui/dialogs/logo_form.h"
#include "ui/dialogs/tip_form.h"

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

QString tipText(int index) {
    return kHeader + "\n\n" + Tips()[index];
}

}  // namespace

class TestSmallForms : public QObject {
    Q_OBJECT

private slots:
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
