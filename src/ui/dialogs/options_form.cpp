#include "ui/dialogs/options_form.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QListWidget>
#include <QPushButton>
#include <QRect>
#include <QStringList>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <exception>
#include <optional>
#include <string_view>

#include "platform/codepage.h"
#include "platform/program_folder.h"
#include "settings/reg_setup.h"
#include "ui/dialogs.h"
#include "ui/dialogs/form_parts.h"
#include "ui/text.h"
#include "ui/widgets/image_list.h"

namespace {

constexpr int kClientWidth = 213;
constexpr int kClientHeight = 337;
constexpr int kToolBarHeight = 31;
// Room between the group and the dialog's edges and tool bar, so that the group's caption
// touches neither the edge nor the frame the scan button shows under the mouse.
constexpr int kGroupMargin = 6;
constexpr int kGroupWidth = kClientWidth - 2 * kGroupMargin;
// Room between a check box and the group's side edges.
constexpr int kCheckBoxMargin = 6;
constexpr int kListHeight = 181;
constexpr int kNameRole = Qt::UserRole;  // the item's name as Windows-1251 bytes

const char* const kList = "List";
const char* const kMain = "Main";

QString leftOutText(const QStringList& names) {
    return QStringLiteral(
               "Эти файлы не внесены в список: в их именах есть знаки, которых нет в "
               "кодировке Windows-1251.\n\n") +
           names.join(QLatin1Char('\n'));
}

}  // namespace

TOptionsForm::TOptionsForm(TRegSetup& regSetup, program_folder::TFolders folders, TDialogs& dialogs,
                           QWidget* parent)
    : QDialog(parent), regSetup_(regSetup), folders_(std::move(folders)), dialogs_(dialogs) {
    createControls();
    fillFromSettings();
    centreOnScreen(*this);
}

TOptionsForm::~TOptionsForm() = default;

void TOptionsForm::createControls() {
    setUpFixedDialog(*this, QStringLiteral("Настройки"), QSize(kClientWidth, kClientHeight));

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    btnScan = new QToolButton(ToolBar1);
    btnScan->setObjectName(QStringLiteral("btnScan"));
    btnScan->setText(QStringLiteral("Найти все словари"));
    btnScan->setToolTip(QStringLiteral("Сканировать"));
    btnScan->setIcon(QIcon(QString::fromUtf8(kScanPicturePath)));
    btnScan->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnScan->setAutoRaise(true);
    btnScan->setFixedSize(std::max(156, btnScan->sizeHint().width()), 29);
    ToolBar1->addWidget(btnScan);
    connect(btnScan, &QToolButton::clicked, this, &TOptionsForm::btnScanClick);

    GroupBox1 = new QGroupBox(QStringLiteral("При запуске загружать словари:"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    CheckListBox = new QListWidget(GroupBox1);
    CheckListBox->setObjectName(QStringLiteral("CheckListBox"));

    const auto checkBox = [this](const char* name, const QString& caption) {
        auto* box = new QCheckBox(caption, GroupBox1);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    chkEditMode = checkBox("chkEditMode", QStringLiteral("Разрешить режим редактирования"));
    chkLogo = checkBox("chkLogo", QStringLiteral("Показывать заставку при запуске"));
    chkTip = checkBox("chkTip", QStringLiteral("Показывать советы при запуске"));

    Button1 = placeButton(GroupBox1, "Button1", QStringLiteral("Ok"), QRect(0, 0, 75, 25), true);
    Button2 =
        placeButton(GroupBox1, "Button2", QStringLiteral("Отмена"), QRect(0, 0, 75, 25), false);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    // The designed width, or wider where the font the system gives the dialog needs more room
    // for a caption (DejaVu Sans, where Liberation is missing, is wider than Arial's metrics):
    // a caption is never cut.
    int groupWidth = kGroupWidth;
    for (const QCheckBox* box : {chkEditMode, chkLogo, chkTip})
        groupWidth = std::max(groupWidth, box->sizeHint().width() + 2 * kCheckBoxMargin);
    groupWidth = std::max(groupWidth, GroupBox1->minimumSizeHint().width());
    groupWidth = std::max(groupWidth, btnScan->width());
    const int clientWidth = groupWidth + 2 * kGroupMargin;
    setFixedSize(clientWidth, kClientHeight);

    ToolBar1->setGeometry(0, 0, clientWidth, kToolBarHeight);
    GroupBox1->setGeometry(kGroupMargin, kToolBarHeight + kGroupMargin, groupWidth,
                           kClientHeight - kToolBarHeight - kGroupMargin);
    CheckListBox->setGeometry(6, 18, groupWidth - 12, kListHeight);
    chkEditMode->setGeometry(kCheckBoxMargin, 204, groupWidth - 2 * kCheckBoxMargin, 19);
    chkLogo->setGeometry(kCheckBoxMargin, 225, groupWidth - 2 * kCheckBoxMargin, 19);
    chkTip->setGeometry(kCheckBoxMargin, 246, groupWidth - 2 * kCheckBoxMargin, 19);
    // The buttons keep their places relative to the group's middle.
    const int shift = (groupWidth - kGroupWidth) / 2;
    Button1->move(24 + shift, 273);
    Button2->move(114 + shift, 273);
}

void TOptionsForm::fillFromSettings() {
    int count = 0;
    try {
        count = StrToInt(regSetup_.ReadValue(kList, "Count"));
    } catch (const std::exception& error) {
        // A list that cannot be read opens empty, so that the scan can make a new one.
        dialogs_.error(parentWidget(), errorText(error));
        count = 0;
    }
    // Only the entries the file holds, however large the Count: a missing number gives no item.
    for (const std::string& value : regSetup_.NumberedValues(kList, count)) {
        if (value.empty())
            appendItem(std::string(), false);
        else
            appendItem(value.substr(1), value[0] == '+');
    }
    chkEditMode->setChecked(regSetup_.IsOn("EditMode"));
    chkLogo->setChecked(regSetup_.IsOn("ShowLogo"));
    chkTip->setChecked(regSetup_.IsOn("ShowTip"));
}

void TOptionsForm::appendItem(const std::string& name, bool checked) {
    auto* item = new QListWidgetItem(fromCp1251(name), CheckListBox);
    item->setData(kNameRole, QByteArray::fromStdString(name));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TOptionsForm::btnScanClick() {
    ScanDictionaries();
}

void TOptionsForm::ScanDictionaries() {
    CheckListBox->clear();
    regSetup_.ClearSection(kList);
    int counter = 0;
    QStringList leftOut;
    for (const program_folder::TListedDictionary& listed :
         program_folder::listDictionaries(folders_)) {
        const std::string& fileName = listed.name;
        // Names on disk are UTF-8; the list holds Windows-1251, and a name it cannot hold
        // would name another file (or none) when start-up reads it back.
        const std::optional<std::string> name = codepage::fromUtf8(fileName);
        if (!name) {
            leftOut << QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size()));
            continue;
        }
        appendItem(*name, true);
        ++counter;
        regSetup_.WriteValue(kList, numberedKey(counter), "+" + *name);
    }
    regSetup_.WriteValue(kList, "Count", std::to_string(counter));
    if (!leftOut.isEmpty())
        dialogs_.information(this, leftOutText(leftOut));
}

void TOptionsForm::FormCloseQuery(bool& canClose) {
    canClose = true;
    if (result() != QDialog::Accepted)
        return;
    const int items = CheckListBox->count();
    for (int i = 0; i < items; ++i) {
        const QListWidgetItem* item = CheckListBox->item(i);
        const std::string flag = item->checkState() == Qt::Checked ? "+" : "-";
        regSetup_.WriteValue(kList, numberedKey(i + 1),
                             flag + item->data(kNameRole).toByteArray().toStdString());
    }
    // Count names exactly the entries shown; a Count that was damaged, or larger than the
    // entries present, is put right, so start-up reads the list the user just confirmed.
    const std::string count = std::to_string(items);
    if (regSetup_.ReadValue(kList, "Count") != count)
        regSetup_.WriteValue(kList, "Count", count);
    regSetup_.WriteValue(kMain, "EditMode", chkEditMode->isChecked() ? "1" : "0");
    regSetup_.WriteValue(kMain, "ShowLogo", chkLogo->isChecked() ? "1" : "0");
    regSetup_.WriteValue(kMain, "ShowTip", chkTip->isChecked() ? "1" : "0");
}

void TOptionsForm::done(int result) {
    setResult(result);
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        QDialog::done(result);
}
