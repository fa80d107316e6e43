#include "forms/controlhost.h"
#include "support/controlregistration.h"

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <QtTest>

// What one showing of the About window looked like, read while it was on screen.
struct AboutShown {
    QString title;
    QSize clientSize;
    bool fixedSize = false;
    bool modal = false;
    bool owned = true;
    QString frameTitle;
    QRect frameGeometry;
    QStringList labels;
    QList<QRect> labelGeometry;
    bool centred = true;
    QList<QSize> iconSizes;
};

class TestLumetAbout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void aboutTwiceShowsTheSameDesignTwice();

private:
    void closeAboutWhenShown();

    QList<AboutShown> m_shown;
    QTimer m_closer;
};

void TestLumetAbout::initTestCase() {
    QString error;
    QVERIFY2(registerControlLibraryForTests(&error), qPrintable(error));
    m_closer.setInterval(10);
    connect(&m_closer, &QTimer::timeout, this, &TestLumetAbout::closeAboutWhenShown);
}

void TestLumetAbout::closeAboutWhenShown() {
    auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!about || !about->isVisible())
        return;
    AboutShown shown;
    shown.title = about->windowTitle();
    shown.clientSize = about->size();
    shown.fixedSize = about->minimumSize() == about->maximumSize();
    shown.modal = about->isModal();
    shown.owned = about->parentWidget() != nullptr;
    if (auto* frame = about->findChild<QGroupBox*>("Frame1")) {
        shown.frameTitle = frame->title();
        shown.frameGeometry = frame->geometry();
        for (const char* name : {"Label1", "Label2", "Label4", "Label3"}) {
            auto* label = frame->findChild<QLabel*>(name);
            if (!label)
                continue;
            shown.labels << label->text();
            shown.labelGeometry << label->geometry();
            shown.centred = shown.centred && (label->alignment() & Qt::AlignHCenter);
        }
    }
    shown.iconSizes = about->windowIcon().availableSizes();
    m_shown << shown;
    // Closed through its own close command, as a user closes it.
    about->close();
}

void TestLumetAbout::aboutTwiceShowsTheSameDesignTwice() {
    QWidget window;
    QString error;
    QWidget* control = ControlHost::createControl("Lumet1.Lumet", &window, {}, &error);
    QVERIFY2(control, qPrintable(error));
    m_closer.start();

    for (int call = 1; call <= 2; ++call) {
        int status = -1;
        QVERIFY(QMetaObject::invokeMethod(control, "About", Q_RETURN_ARG(int, status)));
        QCOMPARE(status, 0);
        // About returns only once its window has been closed.
        QCOMPARE(m_shown.size(), call);
        QVERIFY(!QApplication::activeModalWidget());
    }
    m_closer.stop();

    const AboutShown& first = m_shown.at(0);
    QCOMPARE(first.title, QString("Lumet 1.0"));
    QCOMPARE(first.clientSize, QSize(181, 93)); // 2715 x 1395 twips
    QVERIFY(first.fixedSize);
    QVERIFY(first.modal);
    QVERIFY(!first.owned);
    QCOMPARE(first.frameTitle, QString("About"));
    QCOMPARE(first.frameGeometry, QRect(4, 4, 173, 85));
    QCOMPARE(first.labels.size(), 4);
    QCOMPARE(first.labels.at(0), QString("Lumet ver1.1"));
    QCOMPARE(first.labels.at(1), QString("by Orvane"));
    QVERIFY(first.labels.at(2).startsWith("email: "));
    QVERIFY(first.labels.at(2).size() > QString("email: ").size());
    QVERIFY(!first.labels.at(3).isEmpty());
    QCOMPARE(first.labelGeometry, QList<QRect>({QRect(4, 16, 165, 13), QRect(4, 32, 165, 13),
                                                QRect(4, 48, 165, 13), QRect(4, 64, 165, 13)}));
    QVERIFY(first.centred);
    QVERIFY(first.iconSizes.contains(QSize(16, 16)));
    QVERIFY(first.iconSizes.contains(QSize(32, 32)));

    const AboutShown& second = m_shown.at(1);
    QCOMPARE(second.title, first.title);
    QCOMPARE(second.clientSize, first.clientSize);
    QCOMPARE(second.frameTitle, first.frameTitle);
    QCOMPARE(second.labels, first.labels);
    QCOMPARE(second.labelGeometry, first.labelGeometry);
    // Nothing of a closed About window stays behind.
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY(top->objectName() != "AboutLumet");
}

QTEST_MAIN(TestLumetAbout)
#include "tst_lumetabout.moc"
