// The Qt window driven as a person drives it: keys, the real colour dialog,
// the clipboard as another program reads it, and what a screen reader hears.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>

#include "base/failure.hpp"
#include "form/layout.hpp"
#include "qt/form_widget.hpp"

namespace quill::qt {
namespace {

constexpr ControlId kBoxes[] = {kIdTxtColor, kIdTxtRed, kIdTxtGreen, kIdTxtBlue, kIdTxtHexa};

// Runs `act` once the next modal dialog is up (a colour dialog, a message
// box), while the code under test waits in that dialog's exec().
void WhenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start(10);
}

QPushButton* ButtonOf(QWidget* dialog, QDialogButtonBox::StandardButton which) {
    auto* box = dialog->findChild<QDialogButtonBox*>();
    return box ? box->button(which) : nullptr;
}

class QtWindow : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        QApplication::setActiveWindow(&window);
    }

    QString Text(ControlId id) const { return static_cast<QLineEdit*>(window.Control(id))->text(); }
    QStringList Readouts() const {
        QStringList texts;
        for (ControlId id : kBoxes) texts << Text(id);
        return texts;
    }
    QColor SwatchCentre() {
        QWidget* sh = window.Control(kIdSh);
        return sh->grab().toImage().pixelColor(sh->width() / 2, sh->height() / 2);
    }

    // Presses "Selecteaza culoarea.." with the keyboard and, in the real
    // dialog, chooses colour and confirms it, or cancels.
    void Pick(const QColor& colour, bool confirm = true) {
        WhenModal([colour, confirm](QWidget* modal) {
            auto* dialog = qobject_cast<QColorDialog*>(modal);
            if (!dialog) return modal->close();
            dialog->setCurrentColor(colour);
            ButtonOf(dialog, confirm ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
            return true;
        });
        window.Control(kIdCommand1)->setFocus();
        QTest::keyClick(window.Control(kIdCommand1), Qt::Key_Space);
    }

    FormWidget window;
};

TEST_F(QtWindow, GeometryMatchesTheTwipsTableAtTheScreensDpi) {
    // Qt lays out in device-independent pixels and scales them by the device
    // pixel ratio: compare what reaches the screen.
    const qreal ratio = window.devicePixelRatioF();
    const int dpi = qRound(window.screen()->logicalDotsPerInch() * ratio);
    const auto device = [ratio](int logical) { return qRound(logical * ratio); };
    EXPECT_EQ(window.windowTitle(), "Quillantern");
    EXPECT_TRUE(window.windowIcon().availableSizes().contains(QSize(16, 16)));
    EXPECT_TRUE(window.windowIcon().availableSizes().contains(QSize(32, 32)));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "fixed size";
    EXPECT_FALSE(window.windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint));
    EXPECT_NEAR(device(window.width()), TwipsToPixels(kClientWidthTwips, dpi), 1);
    EXPECT_NEAR(device(window.height()), TwipsToPixels(kClientHeightTwips, dpi), 1);
    const QRect screen = window.screen()->availableGeometry();
    EXPECT_NEAR(window.geometry().center().x(), screen.center().x(), 1) << "centred";
    EXPECT_NEAR(window.geometry().center().y(), screen.center().y(), 1) << "centred";
    for (const ControlPlacement& placement : kControls) {
        SCOPED_TRACE(placement.id);
        const QRect r = window.Control(placement.id)->geometry();
        const PixelRect expected = ToPixels(placement, dpi);
        EXPECT_NEAR(device(r.left()), expected.left, 1);
        EXPECT_NEAR(device(r.top()), expected.top, 1);
        EXPECT_NEAR(device(r.x() + r.width()), expected.right, 1);
        if (placement.kind != ControlKind::Line) {
            EXPECT_NEAR(device(r.y() + r.height()), expected.bottom, 1);
        }
        const QString text = placement.text ? QString::fromWCharArray(placement.text) : QString();
        if (auto* label = qobject_cast<QLabel*>(window.Control(placement.id))) {
            EXPECT_EQ(label->text(), text);
        }
        if (auto* button = qobject_cast<QPushButton*>(window.Control(placement.id))) {
            EXPECT_EQ(button->text(), text);
        }
    }
    // The hex row's box lies above its label where the two overlap: the
    // box's first column is still inside the label.
    const QPoint overlap = window.Control(kIdTxtHexa)->geometry().topLeft() + QPoint(0, 6);
    ASSERT_TRUE(window.Control(kIdLabel5)->geometry().contains(overlap));
    EXPECT_EQ(window.childAt(overlap), window.Control(kIdTxtHexa));
}

TEST_F(QtWindow, TextsFitTheirControlsUnclipped) {
    for (const ControlPlacement& placement : kControls) {
        QWidget* control = window.Control(placement.id);
        if (placement.kind == ControlKind::Label || placement.kind == ControlKind::Button) {
            EXPECT_LE(control->sizeHint().width(), control->width()) << placement.id;
            EXPECT_LE(control->sizeHint().height(), control->height()) << placement.id;
        }
        if (placement.kind == ControlKind::TextBox) {
            auto* box = static_cast<QLineEdit*>(control);
            const QFontMetrics metrics(box->font());
            EXPECT_LT(metrics.horizontalAdvance("16777215"), box->width() - 6) << placement.id;
            EXPECT_LE(metrics.height(), box->height()) << placement.id;
        }
    }
}

TEST_F(QtWindow, FocusStartsOnTheChooseButtonAndTabCyclesInOrder) {
    const ControlId order[] = {kIdCommand1, kIdTxtColor, kIdCmdCopy, kIdTxtRed, kIdTxtGreen, kIdTxtBlue, kIdTxtHexa};
    EXPECT_EQ(QApplication::focusWidget(), window.Control(kIdCommand1));
    for (int step = 1; step <= 7; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), window.Control(order[step % 7])) << "Tab " << step;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), window.Control(kIdTxtHexa));
}

TEST_F(QtWindow, TypingIntoABoxChangesNothing) {
    Pick(QColor(255, 128, 0));
    ASSERT_EQ(Text(kIdTxtColor), "33023");
    QApplication::clipboard()->setText("999");
    for (ControlId id : kBoxes) {
        auto* box = static_cast<QLineEdit*>(window.Control(id));
        box->setFocus();
        const QString before = box->text();
        QTest::keyClicks(box, "12ab");
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Home);
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(box->text(), before) << id;
        EXPECT_TRUE(box->isReadOnly());
        EXPECT_EQ(box->grab().toImage().pixelColor(box->width() - 4, box->height() / 2),
                  window.palette().color(QPalette::Button))
            << "on the button-face colour";
    }
}

TEST_F(QtWindow, PicksFillEveryReadoutAndCancelKeepsTheLastColour) {
    Pick(QColor(255, 128, 0));  // orange
    EXPECT_EQ(Readouts(), (QStringList{"33023", "255", "128", "0", "FF8000"}));
    EXPECT_EQ(SwatchCentre(), QColor(255, 128, 0));
    Pick(QColor(0, 0, 255));  // pure blue: packed 0x00BBGGRR, the code in HTML order
    EXPECT_EQ(Readouts(), (QStringList{"16711680", "0", "0", "255", "0000FF"}));
    Pick(QColor(12, 34, 56), /*confirm=*/false);
    EXPECT_EQ(Readouts(), (QStringList{"16711680", "0", "0", "255", "0000FF"}));
    EXPECT_EQ(SwatchCentre(), QColor(0, 0, 255));
    // Enter on the focused button opens the dialog too.
    bool opened = false;
    WhenModal([&opened](QWidget* modal) {
        opened = true;
        modal->close();
    });
    QTest::keyClick(window.Control(kIdCommand1), Qt::Key_Return);
    EXPECT_TRUE(opened);
    EXPECT_EQ(Text(kIdTxtHexa), "0000FF");
}

TEST_F(QtWindow, CopyPutsExactlyTheDecimalTextOnTheClipboard) {
    QApplication::clipboard()->setText("other");
    QTest::keyClick(window.Control(kIdCmdCopy), Qt::Key_Space);
    EXPECT_EQ(QApplication::clipboard()->text(), "") << "before any pick, the empty text";
    Pick(QColor(255, 128, 0));
    QTest::keyClick(window.Control(kIdCmdCopy), Qt::Key_Space);
    EXPECT_EQ(QApplication::clipboard()->text(), "33023");
    EXPECT_EQ(window.ExitCode(), 0);
}

TEST_F(QtWindow, ScreenReadersHearEachBoxByItsLabel) {
    Pick(QColor(255, 128, 0));
    const struct {
        ControlId id;
        const char* name;
        const char* value;
    } expected[] = {{kIdTxtColor, "Zecimal:", "33023"},
                    {kIdTxtRed, "Red:", "255"},
                    {kIdTxtGreen, "Green:", "128"},
                    {kIdTxtBlue, "Blue:", "0"},
                    {kIdTxtHexa, "Hexa (HTML):", "FF8000"},
                    {kIdCommand1, "Selecteaza culoarea..", nullptr},
                    {kIdCmdCopy, "Copiaza in clipboard", nullptr}};
    for (const auto& e : expected) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window.Control(e.id));
        ASSERT_NE(accessible, nullptr) << e.id;
        EXPECT_EQ(accessible->text(QAccessible::Name), e.name) << e.id;
        if (e.value) {
            EXPECT_EQ(accessible->role(), QAccessible::EditableText) << e.id;
            EXPECT_TRUE(accessible->state().readOnly) << e.id;
            EXPECT_EQ(accessible->text(QAccessible::Value), e.value) << e.id;
        } else {
            EXPECT_EQ(accessible->role(), QAccessible::Button) << e.id;
        }
    }
}

// The window measures each label in one layout of its text: that must come
// to the label's own size hint in every font the window may take.
TEST(QtWindowFonts, LabelsAreMeasuredAsTheirOwnSizeHintsSay) {
    FormWidget window;
    QFont condensed = QApplication::font(), large = QApplication::font();
    condensed.setStretch(QFont::Condensed);
    large.setPointSizeF(12);
    for (const QFont& font : {QApplication::font(), condensed, large}) {
        window.setFont(font);
        for (const ControlPlacement& placement : kControls) {
            if (placement.kind != ControlKind::Label) continue;
            const QWidget& label = *window.Control(placement.id);
            EXPECT_EQ(TextRoom(label), label.sizeHint()) << placement.id << " in " << font.toString().toStdString();
        }
    }
}

// The first look at a font takes each label's letters alone, unshaped, and
// lets that say "too wide": in no installed face, size or width may the
// laid-out text come out narrower than that bound.
TEST(QtWindowFonts, LettersAloneNeverMakeALabelWiderThanItsLayout) {
    FormWidget window;
    int checked = 0;
    for (const QString& family : QFontDatabase::families()) {
        for (const int stretch : {int(QFont::Unstretched), int(QFont::Condensed)}) {
            for (const qreal points : {6.0, 8.0, 9.0, 10.0, 11.0, 12.0, 14.0, 16.0}) {
                QFont font(family);
                font.setPointSizeF(points);
                font.setStretch(stretch);
                window.setFont(font);
                for (const ControlPlacement& placement : kControls) {
                    if (placement.kind != ControlKind::Label) continue;
                    const QWidget& label = *window.Control(placement.id);
                    EXPECT_LE(TextWidthAtLeast(label), label.sizeHint().width())
                        << placement.id << " in " << font.toString().toStdString();
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 0);
}

// A desktop whose font is larger than the layout was drawn for: the font
// keeps the user's size and face, and the layout grows as at a higher DPI,
// with the same proportions and hex-row overlap.
TEST(QtWindowLargeFont, TheUsersLargerFontGrowsTheWindowInsteadOfShrinking) {
    const QFont desktop_font = QApplication::font();
    FormWidget normal;
    QFont large = desktop_font;
    large.setPointSizeF(12);
    QApplication::setFont(large);
    FormWidget window;
    QApplication::setFont(desktop_font);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    EXPECT_EQ(window.font().pointSizeF(), 12.0) << "never below the size the user chose";
    EXPECT_EQ(window.font().stretch(), QFont::Unstretched);
    EXPECT_GT(window.width(), normal.width());
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "still fixed";
    int layout_dpi = 96;
    while (ClientPixels(layout_dpi).width() < window.width()) ++layout_dpi;
    ASSERT_EQ(ClientPixels(layout_dpi).height(), window.height()) << "proportions kept";
    for (const ControlPlacement& placement : kControls) {
        QWidget* control = window.Control(placement.id);
        const PixelRect expected = ToPixels(placement, layout_dpi);
        EXPECT_EQ(control->geometry(), QRect(expected.left, expected.top, expected.width(), expected.height()))
            << placement.id;
        if (placement.kind == ControlKind::Label || placement.kind == ControlKind::Button) {
            EXPECT_LE(control->sizeHint().width(), control->width()) << placement.id << " clipped";
            EXPECT_LE(control->sizeHint().height(), control->height()) << placement.id << " clipped";
        }
    }
    const QPoint overlap = window.Control(kIdTxtHexa)->geometry().topLeft() + QPoint(0, 6);
    EXPECT_TRUE(window.Control(kIdLabel5)->geometry().contains(overlap));
    EXPECT_EQ(window.Control(kIdLabel5)->parentWidget()->childAt(overlap), window.Control(kIdTxtHexa));
}

// The icon the title bar and the task switcher show is built into the
// program: its pixels must stay those of the installed icon theme's PNGs.
TEST(QtWindowIcon, EverySizeHasThePixelsOfTheInstalledIcon) {
    FormWidget window;
    for (const int size : {16, 32, 48, 64}) {
        const QImage installed(QString(QUILL_ICON_FOLDER "/quillantern-%1.png").arg(size));
        ASSERT_FALSE(installed.isNull()) << size;
        const QImage shown = window.windowIcon().pixmap(QSize(size, size), 1.0).toImage();
        EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32), installed.convertToFormat(QImage::Format_ARGB32))
            << size;
    }
}

// A right-to-left language (as Qt's Hebrew or Arabic translation sets, or
// -reverse): the form stands exactly as drawn, its texts in their order,
// while Qt's colour dialog is mirrored for the user's language.
TEST(QtWindowRightToLeft, TheFormStandsAsDrawnAndTheDialogFollowsTheLanguage) {
    const auto shown = [](FormWidget& window) {
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        return window.grab().toImage();
    };
    FormWidget left_to_right;
    const QImage expected = shown(left_to_right);
    QGuiApplication::setLayoutDirection(Qt::RightToLeft);
    {
        FormWidget window;
        EXPECT_EQ(shown(window), expected) << "the same pixels as left to right";
        Qt::LayoutDirection dialog_direction = Qt::LeftToRight;
        WhenModal([&dialog_direction](QWidget* modal) {
            dialog_direction = modal->layoutDirection();
            modal->close();
        });
        QTest::keyClick(window.Control(kIdCommand1), Qt::Key_Space);
        EXPECT_EQ(dialog_direction, Qt::RightToLeft);
        EXPECT_EQ(window.Control(kIdTxtColor)->layoutDirection(), Qt::LeftToRight) << "left-aligned read-outs";
    }
    QGuiApplication::setLayoutDirection(Qt::LeftToRight);
}

// A clipboard that refuses the text, as a failing system clipboard would.
class RefusingClipboard final : public Clipboard {
public:
    void SetText(const std::wstring&) override {
        throw Failure(kErrorClipboard, "The clipboard did not take the text");
    }
};

TEST(QtWindowFailure, AFailedCopyIsReportedAndEndsTheProgram) {
    RefusingClipboard clipboard;
    FormWidget window(&clipboard);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QString report;
    WhenModal([&report](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        report = box ? box->windowTitle() + "|" + box->text() : QString("not a message box");
        modal->close();
    });
    QTest::keyClick(window.Control(kIdCmdCopy), Qt::Key_Space);
    EXPECT_EQ(report,
              "Quillantern|Error 1418: The clipboard did not take the text\n\n"
              "Quillantern cannot continue and will now close.");
    EXPECT_EQ(window.ExitCode(), FormWidget::kFailureExitCode);
    EXPECT_FALSE(window.isVisible());
}

// On a real X server: another program reads what was copied.
TEST(QtWindowX11, AnotherProgramPastesTheDecimalValue) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    FormWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    WhenModal([](QWidget* modal) {
        static_cast<QColorDialog*>(modal)->setCurrentColor(QColor(255, 128, 0));
        ButtonOf(modal, QDialogButtonBox::Ok)->click();
    });
    QTest::mouseClick(window.Control(kIdCommand1), Qt::LeftButton);
    ASSERT_EQ(static_cast<QLineEdit*>(window.Control(kIdTxtColor))->text(), "33023");
    for (int copies = 0; copies < 2; ++copies) {
        QTest::mouseClick(window.Control(kIdCmdCopy), Qt::LeftButton);
        // xclip asks this process, which must keep answering meanwhile.
        QProcess xclip;
        xclip.start("xclip", {"-selection", "clipboard", "-o"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000));
        EXPECT_EQ(xclip.exitCode(), 0);
        EXPECT_EQ(xclip.readAllStandardOutput(), "33023") << "exactly the text, no line break";
    }
}

}  // namespace
}  // namespace quill::qt
