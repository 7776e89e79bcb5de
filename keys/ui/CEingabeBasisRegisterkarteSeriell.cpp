#include "keys/ui/CEingabeBasisRegisterkarteSeriell.h"

#include "config/ui/SheetServices.h"
#include "keys/AnsiText.h"
#include "resources/strings/StringTable.h"
#include "widgets/IMessageBox.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace veltra {
namespace {

QString display(const std::string& ansi) {
    return QString::fromStdString(ansiToUtf8(ansi));
}

// The field's text in the reader's 8-bit code page; nullopt for a character it cannot hold.
std::optional<std::string> ansiOf(const QString& text) {
    return utf8ToAnsi(text.toStdString());
}

// Whether the text is a code written as two hex digits (the list is not scrolled for those).
bool isHexPair(const std::string& text) {
    return text.size() == 2 && HexDigitValue(text[0]) != 0xFF && HexDigitValue(text[1]) != 0xFF;
}

} // namespace

CEingabeBasisRegisterkarteSeriell::CEingabeBasisRegisterkarteSeriell(const QString& caption,
                                                                     const QString& header,
                                                                     QWidget* parent)
    : QWidget(parent) {
    setWindowTitle(caption);
    setObjectName(QStringLiteral("sequencePage"));

    auto* root = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;

    // Code field with its list.
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(str(76000), this));
    codeField_ = new CEditComboBox(this);
    left->addWidget(codeField_, 1);
    columns->addLayout(left, 2);

    auto* add = new QPushButton(str(76001), this);
    add->setObjectName(QStringLiteral("add"));
    add->setMaximumWidth(add->fontMetrics().horizontalAdvance(QStringLiteral(">>>>>")) +
                         add->fontMetrics().height());
    columns->addWidget(add, 0, Qt::AlignVCenter);

    // The sequence.
    auto* right = new QGridLayout;
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("sequenceList"));
    list_->setColumnCount(1);
    list_->setHeaderLabels({header});
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->header()->setSectionsClickable(false);
    list_->header()->setStretchLastSection(true);
    list_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    right->addWidget(list_, 0, 0, 4, 1);

    up_ = new QPushButton(this);
    up_->setObjectName(QStringLiteral("up"));
    up_->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    up_->setToolTip(str(76004));
    up_->setAccessibleName(str(76004));
    down_ = new QPushButton(this);
    down_->setObjectName(QStringLiteral("down"));
    down_->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    down_->setToolTip(str(76005));
    down_->setAccessibleName(str(76005));
    right->addWidget(up_, 1, 1);
    right->addWidget(down_, 2, 1);
    right->setRowStretch(0, 1);
    right->setRowStretch(3, 1);

    auto* deleteCode = new QPushButton(str(76002), this);
    deleteCode->setObjectName(QStringLiteral("deleteCode"));
    auto* clearPage = new QPushButton(str(76003), this);
    clearPage->setObjectName(QStringLiteral("clearPage"));
    auto* editButtons = new QHBoxLayout;
    editButtons->addWidget(deleteCode);
    editButtons->addWidget(clearPage);
    editButtons->addStretch(1);
    right->addLayout(editButtons, 4, 0, 1, 2);
    columns->addLayout(right, 3);
    root->addLayout(columns, 1);

    auto* functionTest = new QPushButton(str(76006), this);
    functionTest->setObjectName(QStringLiteral("functionTest"));
    auto* readContents = new QPushButton(str(76007), this);
    readContents->setObjectName(QStringLiteral("readContents"));
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(functionTest);
    bottom->addWidget(readContents);
    root->addLayout(bottom);

    connect(add, &QPushButton::clicked, this, &CEingabeBasisRegisterkarteSeriell::OnAddCode);
    connect(codeField_, &CEditComboBox::entryDoubleClicked, this,
            &CEingabeBasisRegisterkarteSeriell::OnAddCode);
    connect(deleteCode, &QPushButton::clicked, this,
            &CEingabeBasisRegisterkarteSeriell::OnDeleteCode);
    connect(clearPage, &QPushButton::clicked, this,
            &CEingabeBasisRegisterkarteSeriell::OnClearPage);
    connect(up_, &QPushButton::clicked, this, &CEingabeBasisRegisterkarteSeriell::OnMoveUp);
    connect(down_, &QPushButton::clicked, this, &CEingabeBasisRegisterkarteSeriell::OnMoveDown);
    connect(functionTest, &QPushButton::clicked, this,
            &CEingabeBasisRegisterkarteSeriell::OnFunctionTest);
    connect(readContents, &QPushButton::clicked, this, [this] {
        if (sheetServices().openReport) {
            sheetServices().openReport(this);
        }
    });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = list_->selectedItems();
        if (selected.isEmpty()) {
            editor_.select(std::nullopt);
        } else {
            editor_.select(static_cast<std::size_t>(list_->indexOfTopLevelItem(selected.front())));
        }
    });
}

void CEingabeBasisRegisterkarteSeriell::setBlock(const std::vector<std::uint8_t>& block) {
    editor_.setSequence(sequenceFromBlock(block));
    editor_.setModified(false);
    RefreshList();
}

std::vector<std::uint8_t> CEingabeBasisRegisterkarteSeriell::block() const {
    std::vector<std::uint8_t> out;
    AppendCodes(editor_.sequence(), out);
    return out;
}

void CEingabeBasisRegisterkarteSeriell::setSequence(const CAsciiArray& sequence) {
    editor_.setSequence(sequence);
    RefreshList();
}

void CEingabeBasisRegisterkarteSeriell::clearSequence() {
    editor_.clearSequence();
    RefreshList();
}

void CEingabeBasisRegisterkarteSeriell::RefreshList() {
    const std::optional<std::size_t> keep = editor_.selectedRow();
    {
        const QSignalBlocker blocker(list_);
        list_->clear();
        const std::vector<std::string> rows = editor_.rows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            auto* item = new QTreeWidgetItem(list_, {display(rows[i])});
            item->setData(0, Qt::UserRole, static_cast<int>(i));
        }
    }
    // The rebuilt list has no selection of its own; the editor keeps the row it works on.
    editor_.select(keep);
}

void CEingabeBasisRegisterkarteSeriell::selectRow(std::optional<std::size_t> row) {
    if (!row) {
        list_->clearSelection();
        list_->setCurrentItem(nullptr);
        return;
    }
    if (QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(*row))) {
        list_->setCurrentItem(item);
        item->setSelected(true);
        list_->scrollToItem(item);
    }
}

void CEingabeBasisRegisterkarteSeriell::OnAddCode() {
    const std::optional<std::size_t> remembered = editor_.selectedRow();
    QLineEdit* field = codeField_->edit();
    const int entry = codeField_->selectedEntry();
    std::optional<std::string> text = ansiOf(field->text());
    std::optional<std::size_t> listEntry;
    if (entry >= 0) {
        listEntry = static_cast<std::size_t>(entry);
        if (!text) {
            text = editorCodeList()[static_cast<std::size_t>(entry)];
        }
    } else {
        const std::optional<ASCII> parsed = text ? ParseEntry(*text) : std::nullopt;
        if (!parsed || parsed->code == kSequenceTerminator) {
            messageBox().show(this, str(kStrNoValidCharacter), IMessageBox::Kind::Warning);
            return;
        }
        if (!isHexPair(*text)) {
            codeField_->scrollToTop(parsed->code);
        }
    }

    const SequenceEditor::Outcome outcome = editor_.addCode(listEntry, *text);
    if (outcome.message == kStrNoValidCharacter) {
        messageBox().show(this, str(kStrNoValidCharacter), IMessageBox::Kind::Warning);
        return;
    }
    field->selectAll();
    if (outcome.message == kStrMaximumExceeded) {
        messageBox().show(this, str(kStrMaximumExceeded), IMessageBox::Kind::Information);
    }
    RefreshList();
    selectRow(remembered);
    field->setFocus(Qt::OtherFocusReason);
}

void CEingabeBasisRegisterkarteSeriell::OnDeleteCode() {
    const SequenceEditor::Outcome outcome = editor_.deleteSelected();
    if (!outcome.ok()) {
        messageBox().show(this, str(outcome.message), IMessageBox::Kind::Warning);
        return;
    }
    RefreshList();
    selectRow(editor_.selectedRow());
    codeField_->edit()->setFocus(Qt::OtherFocusReason);
    codeField_->edit()->clear();
}

void CEingabeBasisRegisterkarteSeriell::OnClearPage() {
    editor_.clearPage();
    RefreshList();
}

void CEingabeBasisRegisterkarteSeriell::OnMoveUp() {
    editor_.moveUp();
    RefreshList();
    selectRow(editor_.selectedRow());
}

void CEingabeBasisRegisterkarteSeriell::OnMoveDown() {
    editor_.moveDown();
    RefreshList();
    selectRow(editor_.selectedRow());
}

void CEingabeBasisRegisterkarteSeriell::OnFunctionTest() {
    const auto& open =
        hidReader_ ? sheetServices().openHidFunctionTest : sheetServices().openFunctionTest;
    if (open) {
        open(this);
    }
}

void CEingabeBasisRegisterkarteSeriell::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    list_->setFocus(Qt::OtherFocusReason);
}

} // namespace veltra
