#include "forms/formloader.h"

#include "forms/controlhost.h"
#include "forms/windowlayout.h"
#include "widgets/checklist.h"
#include "widgets/drivelist.h"
#include "widgets/filelist.h"
#include "widgets/folderlist.h"
#include "widgets/messagebox.h"
#include "widgets/sourcebox.h"

#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

// The layouts and icons are compiled into the static windows library, whose resource
// initialisers the linker would otherwise drop.
static void initFormResources() {
    Q_INIT_RESOURCE(forms);
    Q_INIT_RESOURCE(icons);
}

namespace {

QWidget* createStandardControl(const WindowLayout::Control& stored, QWidget* window) {
    const QString& kind = stored.kind;
    const QString& text = stored.text;
    if (kind == "TextBox") {
        auto* box = new QLineEdit(text, window);
        return box;
    }
    if (kind == "SourceBox") {
        auto* box = new SourceBox(window);
        box->setSourceText(text);
        return box;
    }
    if (kind == "DropDownList") {
        auto* list = new QComboBox(window);
        list->setEditable(false);
        return list;
    }
    if (kind == "CheckList")
        return new CheckList(window);
    if (kind == "Label") {
        auto* label = new QLabel(text, window);
        label->setFocusPolicy(Qt::NoFocus);
        return label;
    }
    if (kind == "DriveList")
        return new DriveList(window);
    if (kind == "FolderList")
        return new FolderList(window);
    if (kind == "FileList")
        return new FileList(window);
    if (kind == "Frame")
        return new QGroupBox(text, window);
    return nullptr;
}

// A label without a back colour is transparent, so the window's fade shows through it.
void applyControlSettings(const WindowLayout::Control& stored, QWidget* widget) {
    if (stored.foreColor) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Active, QPalette::WindowText, *stored.foreColor);
        palette.setColor(QPalette::Inactive, QPalette::WindowText, *stored.foreColor);
        widget->setPalette(palette);
    }
    if (stored.enabled)
        widget->setEnabled(*stored.enabled);
}

void applyWindowSettings(const WindowLayout& layout, QWidget* window) {
    window->setObjectName(layout.name);
    window->setWindowTitle(layout.caption);
    window->setFixedSize(layout.innerSize);
    if (layout.fixedBorder) {
        Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (layout.minimizeBox)
            flags |= Qt::WindowMinimizeButtonHint;
        if (layout.maximizeBox)
            flags |= Qt::WindowMaximizeButtonHint;
        window->setWindowFlags(flags);
    }
    if (layout.font)
        window->setFont(*layout.font);
}

} // namespace

QWidget* Form::control(const QString& name) const {
    return m_controls.value(name);
}

HostedButton Form::button(const QString& name) const {
    return HostedButton(m_controls.value(name));
}

void showLoadErrors(QWidget* window, const Form& form) {
    if (form.errors().isEmpty())
        return;
    const QString text = QStringLiteral("Some controls of this window could not be created:\r") +
                         form.errors().join(QLatin1Char('\r'));
    // The box is gone once answered; the desktop's log of the program's output keeps it for
    // whoever looks into a broken installation.
    qWarning().noquote() << QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    MessageBox::show(window, text, MessageButtons::Ok, MessageIcon::Stop);
}

Form FormLoader::load(const QString& formName, QWidget* window) {
    static const bool resourcesReady = (initFormResources(), true);
    Q_UNUSED(resourcesReady);
    Form result;
    QFile file(QStringLiteral(":/forms/%1.json").arg(formName.toLower()));
    if (!file.open(QIODevice::ReadOnly)) {
        result.m_errors << QStringLiteral("The layout of the window %1 is missing.").arg(formName);
        return result;
    }
    const WindowLayout layout = WindowLayout::fromJson(file.readAll());
    applyWindowSettings(layout, window);

    struct TabStop {
        int index;
        QWidget* widget;
    };
    QVector<TabStop> tabStops;
    const QFont windowFont = window->font();

    for (const WindowLayout::Control& stored : layout.controls) {
        const QString& name = stored.name;
        // The layout records the window's transfer component; the window makes its own, since
        // what it transfers is the window's business, not its layout's.
        if (stored.kind == "Inet")
            continue;

        QWidget* widget = nullptr;
        if (stored.kind == "Control") {
            QString error;
            widget = ControlHost::createControl(stored.classId, window, stored.record, &error);
            if (!widget) {
                result.m_errors << QStringLiteral("%1: %2").arg(name, error);
                continue;
            }
        } else {
            widget = createStandardControl(stored, window);
            if (!widget) {
                result.m_errors
                    << QStringLiteral("%1: unknown control kind %2").arg(name, stored.kind);
                continue;
            }
            widget->setFont(stored.font ? *stored.font : windowFont);
            applyControlSettings(stored, widget);
        }
        widget->setObjectName(name);
        widget->setGeometry(stored.geometry);
        // Stored order is stacking order: each new control lies above the ones before it.
        widget->raise();
        widget->show();
        result.m_controls.insert(name, widget);
        if (stored.tabIndex && widget->focusPolicy() != Qt::NoFocus)
            tabStops.append({*stored.tabIndex, widget});
    }

    std::stable_sort(tabStops.begin(), tabStops.end(),
                     [](const TabStop& a, const TabStop& b) { return a.index < b.index; });
    for (int i = 1; i < tabStops.size(); ++i)
        QWidget::setTabOrder(tabStops[i - 1].widget, tabStops[i].widget);
    return result;
}
