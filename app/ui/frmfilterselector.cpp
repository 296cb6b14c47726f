#include "app/ui/frmfilterselector.h"

#include "platform/cp1252.h"
#include "platform/datapaths.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionSlider>
#include <QTimer>

#include <optional>

namespace quenor {

namespace {

// Resource numbers of the pictures.
constexpr int kHardnessImages = 150;
constexpr int kSpeedImages = 160;
constexpr int kButtonPicture = 170;

// Geometry of the grid picture inside the form.
constexpr int kGridLeft = 56;
constexpr int kGridTop = 150;

const char* const kHelpText =
    "Choose the filter in this order:\n\n"
    "1. The current filter: softer means less noise, harder a faster current loop.\n\n"
    "2. A button in the grid: the columns go from a soft to a hard filter, the rows "
    "from a fast response with less stability to a slow one with more stability. "
    "Covered buttons have no filter for this motor.\n\n"
    "3. The damping of resonances.\n\n"
    "4. The feed forward type, and with the slider its degree.\n\n"
    "The filter id sums up the choice; a known id can be typed with \"Select filter by id\".\n\n"
    "\"Load Filter\" writes the filter to the motor.";

class DialogUi : public FilterSelectorUi {
public:
    explicit DialogUi(QWidget* parent) : parent_(parent) {}
    bool Ask(const std::string& text, const std::string& caption, Buttons buttons) override
    {
        if (buttons == Buttons::YesNo)
            return QMessageBox::question(parent_, FromCp1252(caption), FromCp1252(text),
                                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        return QMessageBox::warning(parent_, FromCp1252(caption), FromCp1252(text),
                                    QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    }
    void Message(const std::string& text, const std::string& caption) override
    {
        QMessageBox::critical(parent_, FromCp1252(caption), FromCp1252(text));
    }
    std::optional<std::string> InputText(const std::string& caption, const std::string& prompt) override
    {
        bool ok = false;
        const QString text =
            QInputDialog::getText(parent_, FromCp1252(caption), FromCp1252(prompt), QLineEdit::Normal, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return ToCp1252(text);
    }

private:
    QWidget* parent_;
};

// Checks button index of a set (none for -1); exclusive groups cannot be
// unchecked otherwise.
template <std::size_t N>
void CheckOnly(QButtonGroup* group, const std::array<QRadioButton*, N>& buttons, int index)
{
    group->setExclusive(false);
    for (std::size_t i = 0; i < N; ++i)
        buttons[i]->setChecked(static_cast<int>(i) == index);
    group->setExclusive(true);
}

QImage MarkerImage()
{
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(220, 20, 20));
    p.drawEllipse(QRectF(0.5, 0.5, 7, 7));
    return image;
}

}  // namespace

std::vector<std::string> DefaultFilterTableDirs()
{
    return {QCoreApplication::applicationDirPath().toStdString(), UserDataDir()};
}

// ---------------------------------------------------------------------------
// Grid picture

FilterGridPicture::FilterGridPicture(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("imBigvekButtons"));
}

void FilterGridPicture::SetPictures(const QImage& normal, const QImage& disabled)
{
    normal_ = normal;
    disabled_ = disabled;
    update();
}

void FilterGridPicture::SetOffered(const std::array<bool, kGridSize * kGridSize>& offered)
{
    if (offered != offered_) {
        offered_ = offered;
        update();
    }
}

void FilterGridPicture::Paint(QPainter& p) const
{
    p.drawImage(0, 0, normal_);
    for (int r = 0; r < kGridSize; ++r)
        for (int c = 0; c < kGridSize; ++c)
            if (!Offered(c, r)) {
                const QRect cell(12 + 25 * c, 25 * r, 25, 25);
                p.drawImage(cell.topLeft(), disabled_, cell);
            }
}

QImage FilterGridPicture::Rendered() const
{
    QImage image(size(), QImage::Format_ARGB32);
    image.fill(palette().color(QPalette::Window));
    QPainter p(&image);
    Paint(p);
    return image;
}

void FilterGridPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    Paint(p);
}

void FilterGridPicture::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && onMouseUp) {
        const QPoint pos = event->position().toPoint();
        onMouseUp(pos.x(), pos.y());
    }
}

// ---------------------------------------------------------------------------
// Track bar

TickedSlider::TickedSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void TickedSlider::SetTicks(std::vector<int> ticks)
{
    ticks_ = std::move(ticks);
    update();
}

void TickedSlider::paintEvent(QPaintEvent* event)
{
    QSlider::paintEvent(event);
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    for (int t : ticks_) {
        const int x = groove.left() + handle.width() / 2 +
                      QStyle::sliderPositionFromValue(minimum(), maximum(), t, span);
        p.drawLine(x, height() - 5, x, height() - 1);
    }
}

// ---------------------------------------------------------------------------
// The form

TformFilterSelector::TformFilterSelector(QWidget* parent, const std::vector<std::string>& tableDirs,
                                         FilterSelectorUi* ui)
    : QDialog(parent)
{
    if (!ui) {
        ownUi_ = std::make_unique<DialogUi>(this);
        ui = ownUi_.get();
    }
    ui_ = ui;
    inbox_ = std::make_unique<QtMessageTarget>([this](const Message& m) { HandleMessage(m); });
    setObjectName(QStringLiteral("formFilterSelector"));
    setWindowTitle(QStringLiteral("Filter selector"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    // Failures are kept and told once, when the form is first shown.
    logic_.LoadTables(tableDirs);
    BuildControls();
    LoadPictures();
    tbDegree_->SetTicks(DegreeTicks());
    logic_.SetDegree(tbDegree_->value());
    Sync();
}

TformFilterSelector::~TformFilterSelector() = default;

void TformFilterSelector::BuildControls()
{
    const auto label = [this](const QString& text, int x, int y, const char* name = nullptr) {
        auto* l = new QLabel(text, this);
        if (name)
            l->setObjectName(QString::fromLatin1(name));
        l->move(x, y);
        return l;
    };
    label(QStringLiteral("Motor type:"), 8, 8);
    lblMotorType_ = label(QString(), 78, 8, "lblMotorType");
    lblMotorType_->setMinimumWidth(50);
    label(QStringLiteral("Filter version:"), 128, 8);
    lblFilterVersion_ = label(QString(), 210, 8, "lblFilterVersion");
    lblFilterVersion_->setMinimumWidth(34);

    rgCurrentFilter_ = new QGroupBox(QStringLiteral("Current filter"), this);
    rgCurrentFilter_->setObjectName(QStringLiteral("rgCurrentFilter"));
    rgCurrentFilter_->setGeometry(8, 28, 232, 86);
    currentGroup_ = new QButtonGroup(this);
    const char* const currentCaptions[3] = {"Soft (low noise, max 3000 RPM)", "Medium (medium noise)",
                                            "Hard (high noise)"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QRadioButton(QString::fromLatin1(currentCaptions[i]), rgCurrentFilter_);
        b->setGeometry(10, 20 + 21 * i, 216, 20);
        currentGroup_->addButton(b, i);
        currentButtons_[static_cast<std::size_t>(i)] = b;
    }
    connect(currentGroup_, &QButtonGroup::idClicked, this, [this](int id) {
        if (syncing_)
            return;
        logic_.ChooseCurrentFilter(id);  // rgCurrentFilterClick
        Sync();
    });
    lblUnknownType_ = label(QString(), 8, 28, "lblUnknownType");
    lblUnknownType_->resize(232, 86);
    lblUnknownType_->setWordWrap(true);
    lblUnknownType_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    lblUnknownType_->hide();

    label(QStringLiteral("Soft"), kGridLeft + 12, 118);
    auto* hard = label(QStringLiteral("Hard"), kGridLeft + 112, 118);
    hard->setAlignment(Qt::AlignRight);
    imHardness_ = new QLabel(this);
    imHardness_->setObjectName(QStringLiteral("imHardness"));
    imHardness_->setGeometry(kGridLeft, kGridTop - 18, 137, 16);
    imSpeed_ = new QLabel(this);
    imSpeed_->setObjectName(QStringLiteral("imSpeed"));
    imSpeed_->setGeometry(kGridLeft - 20, kGridTop, 16, 125);
    label(QStringLiteral("Fast"), 8, kGridTop + 4);
    label(QStringLiteral("Slow"), 8, kGridTop + 104);
    label(QStringLiteral("More"), kGridLeft + 141, kGridTop + 4);
    label(QStringLiteral("stability"), kGridLeft + 141, kGridTop + 54);
    label(QStringLiteral("Less"), kGridLeft + 141, kGridTop + 104);

    imBigvekButtons_ = new FilterGridPicture(this);
    imBigvekButtons_->setGeometry(kGridLeft, kGridTop, 137, 125);
    imBigvekButtons_->onMouseUp = [this](int x, int y) { imBigvekButtonsMouseUp(x, y); };
    imMarker_ = new QLabel(this);
    imMarker_->setObjectName(QStringLiteral("imMarker"));
    imMarker_->setPixmap(QPixmap::fromImage(MarkerImage()));
    imMarker_->resize(8, 8);
    imMarker_->setAttribute(Qt::WA_TransparentForMouseEvents);
    imMarker_->hide();

    const int groupTop = kGridTop + 131;
    gbDamping_ = new QGroupBox(QStringLiteral("Damping"), this);
    gbDamping_->setObjectName(QStringLiteral("gbDamping"));
    gbDamping_->setGeometry(6, groupTop, 120, 124);
    dampGroup_ = new QButtonGroup(this);
    const char* const dampCaptions[kButtonCount] = {"None", "High freq.", "Low freq.", "High+low freq.",
                                                    "Low+low freq."};
    for (int i = 0; i < kButtonCount; ++i) {
        auto* b = new QRadioButton(QString::fromLatin1(dampCaptions[i]), gbDamping_);
        b->setObjectName(QStringLiteral("rbDamp%1").arg(i + 1));
        b->setGeometry(4, 20 + 20 * i, 114, 20);
        dampGroup_->addButton(b, i);
        dampButtons_[static_cast<std::size_t>(i)] = b;
    }
    connect(dampGroup_, &QButtonGroup::idClicked, this, [this](int id) {
        if (syncing_)
            return;
        logic_.ChooseDamping(id);  // gbDampingClick
        Sync();
    });

    groupBox3_ = new QGroupBox(QStringLiteral("Feed forward type"), this);
    groupBox3_->setObjectName(QStringLiteral("GroupBox3"));
    groupBox3_->setGeometry(128, groupTop, 114, 124);
    gradeGroup_ = new QButtonGroup(this);
    for (int i = 0; i < kButtonCount; ++i) {
        auto* b = new QRadioButton(groupBox3_);
        b->setObjectName(QStringLiteral("rbGrade%1").arg(i + 1));
        b->setGeometry(6, 20 + 20 * i, 104, 20);
        gradeGroup_->addButton(b, i);
        gradeButtons_[static_cast<std::size_t>(i)] = b;
    }
    connect(gradeGroup_, &QButtonGroup::idClicked, this, [this](int id) {
        if (syncing_)
            return;
        logic_.ChooseFeedForward(id);  // GroupBox3Click
        Sync();
    });

    const int degreeTop = groupTop + 130;
    label(QStringLiteral("Feed forward degree (%):"), 8, degreeTop);
    lblCompDegree_ = label(QString(), 170, degreeTop, "lblCompDegree");
    lblCompDegree_->setMinimumWidth(70);
    tbDegree_ = new TickedSlider(this);
    tbDegree_->setObjectName(QStringLiteral("tbDegree"));
    tbDegree_->setRange(0, kDegreeMax);
    tbDegree_->setPageStep(50);
    tbDegree_->setGeometry(8, degreeTop + 16, 232, 28);
    connect(tbDegree_, &QSlider::valueChanged, this, [this](int v) {
        if (syncing_)
            return;
        logic_.SetDegree(v);  // tbDegreeChange
        Sync();
    });

    const int idTop = degreeTop + 52;
    label(QStringLiteral("Filter ID:"), 8, idTop + 4);
    lblBVF_ = label(QString(), 60, idTop + 4, "lblBVF");
    lblBVF_->setMinimumWidth(66);
    btnSelFilter_ = new QPushButton(QStringLiteral("Select filter by id"), this);
    btnSelFilter_->setObjectName(QStringLiteral("btnSelFilter"));
    btnSelFilter_->setGeometry(128, idTop, 114, 25);
    connect(btnSelFilter_, &QPushButton::clicked, this, [this] { btnSelFilterClick(); });

    const int buttonTop = idTop + 34;
    btnLoadFilter_ = new QPushButton(QStringLiteral("&Load Filter"), this);
    btnLoadFilter_->setObjectName(QStringLiteral("btnLoadFilter"));
    btnLoadFilter_->setGeometry(8, buttonTop, 75, 25);
    connect(btnLoadFilter_, &QPushButton::clicked, this, [this] { btnLoadFilterClick(); });
    btnHelp_ = new QPushButton(QStringLiteral("&Help >>"), this);
    btnHelp_->setObjectName(QStringLiteral("btnHelp"));
    btnHelp_->setGeometry(86, buttonTop, 75, 25);
    connect(btnHelp_, &QPushButton::clicked, this, [this] { btnHelpClick(); });
    btnClose_ = new QPushButton(QStringLiteral("&Close"), this);
    btnClose_->setObjectName(QStringLiteral("btnClose"));
    btnClose_->setGeometry(165, buttonTop, 75, 25);
    connect(btnClose_, &QPushButton::clicked, this, [this] { close(); });

    const int clientHeight = buttonTop + 33;
    helpPanel_ = new QLabel(QString::fromLatin1(kHelpText), this);
    helpPanel_->setObjectName(QStringLiteral("helpPanel"));
    helpPanel_->setWordWrap(true);
    helpPanel_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    helpPanel_->setFrameShape(QFrame::StyledPanel);
    helpPanel_->setMargin(6);
    helpPanel_->setGeometry(kClientWidth, 8, kClientWidthHelp - kClientWidth - 8, clientHeight - 16);
    setFixedSize(kClientWidth, clientHeight);
}

void TformFilterSelector::LoadPictures()
{
    const QColor face = palette().color(QPalette::Window);
    try {
        LoadPngStrip(ilHardness_, kHardnessImages, 6, face);
        LoadPngStrip(ilSpeed_, kSpeedImages, 6, face);
        QImage normal;
        QImage disabled;
        LoadPngResource(normal, kButtonPicture, face);
        LoadPngResource(disabled, kButtonPicture, face, {}, true, false, 3);
        imBigvekButtons_->SetPictures(normal, disabled);
    } catch (const PngResourceError&) {
        // Compiled in: only a broken build lacks them. The form works without.
    }
}

int TformFilterSelector::HardnessImage() const
{
    const int c = logic_.Choices().column;
    return c < 0 ? 0 : 5 - c;
}

int TformFilterSelector::SpeedImage() const
{
    const int r = logic_.Choices().row;
    return r < 0 ? 0 : 5 - r;
}

void TformFilterSelector::Sync()
{
    syncing_ = true;
    const FilterChoices& c = logic_.Choices();

    lblMotorType_->setText(FromCp1252(logic_.MotorTypeText()));
    lblFilterVersion_->setText(FromCp1252(logic_.VersionText()));

    rgCurrentFilter_->setVisible(!logic_.LargeMode() && !logic_.TypeUnknown());
    lblUnknownType_->setText(FromCp1252(logic_.UnknownTypeText()));
    lblUnknownType_->setVisible(logic_.TypeUnknown());
    CheckOnly(currentGroup_, currentButtons_, c.currentFilter);

    std::array<bool, kGridSize * kGridSize> offered{};
    for (int r = 0; r < kGridSize; ++r)
        for (int col = 0; col < kGridSize; ++col)
            offered[static_cast<std::size_t>(r * kGridSize + col)] = logic_.CellOffered(col, r);
    imBigvekButtons_->SetOffered(offered);
    if (c.row >= 0 && c.column >= 0) {
        imMarker_->move(imBigvekButtons_->x() + 25 * c.column + 21, imBigvekButtons_->y() + 25 * c.row + 11);
        imMarker_->show();
        imMarker_->raise();
    } else {
        imMarker_->hide();
    }
    if (ilHardness_.Count() > HardnessImage())
        imHardness_->setPixmap(ilHardness_.Pixmap(HardnessImage()));
    if (ilSpeed_.Count() > SpeedImage())
        imSpeed_->setPixmap(ilSpeed_.Pixmap(SpeedImage()));

    for (int i = 0; i < kButtonCount; ++i)
        dampButtons_[static_cast<std::size_t>(i)]->setEnabled(logic_.DampingEnabled(i));
    CheckOnly(dampGroup_, dampButtons_, c.damping);
    const auto captions = logic_.FeedForwardCaptions();
    for (int i = 0; i < kButtonCount; ++i) {
        QRadioButton* b = gradeButtons_[static_cast<std::size_t>(i)];
        b->setText(FromCp1252(captions[static_cast<std::size_t>(i)]));
        b->setEnabled(logic_.FeedForwardEnabled(i));
    }
    CheckOnly(gradeGroup_, gradeButtons_, c.feedForward);

    tbDegree_->setValue(c.degree);
    lblCompDegree_->setText(FromCp1252(DegreeText(c.degree)));
    lblBVF_->setText(FromCp1252(logic_.IdText()));
    syncing_ = false;
}

void TformFilterSelector::SetMotorType(int index, int modelNumber, bool newFilter)
{
    logic_.SetMotorType(index, modelNumber, newFilter);
    Sync();
}

void TformFilterSelector::SetUnknownMotorType(std::int64_t reportedCode)
{
    logic_.SetUnknownMotorType(reportedCode);
    Sync();
}

void TformFilterSelector::ShowFilter(std::uint32_t value)
{
    logic_.ShowFilter(value);
    Sync();
}

void TformFilterSelector::HandleMessage(const Message& m)
{
    if (m.msg == UM_FILTERCHOICE)
        ShowFilter(static_cast<std::uint32_t>(m.wParam));
}

MessageTarget* TformFilterSelector::Inbox() const
{
    return inbox_.get();
}

void TformFilterSelector::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (loadErrorShown_)
        return;
    loadErrorShown_ = true;
    const std::string error = logic_.TakeLoadError();
    if (!error.empty())
        QTimer::singleShot(0, this, [this, error] { ui_->Message(error, "Error loading filter file"); });
}

void TformFilterSelector::imBigvekButtonsMouseUp(int x, int y)
{
    if (logic_.ClickGrid(x, y))
        Sync();
}

void TformFilterSelector::btnLoadFilterClick()
{
    logic_.LoadFilter(*ui_);
}

void TformFilterSelector::btnSelFilterClick()
{
    logic_.SelectById(*ui_);
    Sync();
}

void TformFilterSelector::btnHelpClick()
{
    helpOpen_ = !helpOpen_;
    setFixedSize(helpOpen_ ? kClientWidthHelp : kClientWidth, height());
    btnHelp_->setText(helpOpen_ ? QStringLiteral("&Help <<") : QStringLiteral("&Help >>"));
}

}  // namespace quenor
