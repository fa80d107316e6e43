#include "findfiles/findfiles.h"

#include "findfiles/listediting.h"
#include "main/programicon.h"
#include "main/programstate.h"
#include "main/textsearch.h"
#include "platform/checklist.h"
#include "platform/inet.h"
#include "platform/messagebox.h"
#include "scan/duplicateremoval.h"
#include "scan/eventpump.h"
#include "scan/referencescanner.h"

#include <QPointer>

#include <utility>

FindFiles::FindFiles(SourceReader readSource, QWidget* parent)
    : FadedWindow(parent)
    , m_readSource(std::move(readSource)) {
    m_form = FormLoader::load(QStringLiteral("FindFiles"), this);
    setWindowIcon(programIcon());
    bindButtons();
}

FindFiles::~FindFiles() = default;

void FindFiles::bindButtons() {
    const QList<QPair<QString, void (FindFiles::*)()>> handlers = {
        {"Lumet5", &FindFiles::download}, {"Lumet1", &FindFiles::downloadChecked},
        {"Lumet4", &FindFiles::editItem}, {"Lumet6", &FindFiles::removeItem},
        {"Lumet2", &FindFiles::replace},  {"Lumet3", &FindFiles::exit},
    };
    for (const auto& [name, handler] : handlers) {
        auto method = handler;
        button(name).onClick(this, [this, method] { (this->*method)(); });
    }
}

void FindFiles::load() {
    QPointer<FindFiles> self(this);
    LookForFiles();
    if (!self)
        return;
    fadeform();
    LBDupe();
    showLoadErrors(this, m_form);
}

void FindFiles::LookForFiles() {
    QPointer<FindFiles> self(this);
    const QString source = m_readSource ? m_readSource() : QString();
    EventPump pump;
    const QStringList found = scanFileReferences(source, Program::BaseURL, std::ref(pump));
    if (self)
        List1()->addEntries(found);
}

void FindFiles::LBDupe() {
    List1()->keepRows(firstCopies(List1()->texts()));
}

// ---- List editing ----

void FindFiles::editItem() {
    const int row = List1()->highlighted();
    if (row < 0)
        return;
    QPointer<FindFiles> self(this);
    const InputAnswer answer = MessageBox::input(this, QStringLiteral("Change to:"),
                                                 QStringLiteral("Edit Item"), List1()->text(row));
    // The entry keeps its place and its tick; an empty answer is a change of mind.
    if (self && answer.accepted && !answer.text.isEmpty())
        List1()->setText(row, answer.text);
}

void FindFiles::removeItem() {
    const int row = List1()->highlighted();
    if (row >= 0)
        List1()->removeEntry(row);
}

void FindFiles::replace() {
    QPointer<FindFiles> self(this);
    const QString title = QStringLiteral("Replace");
    const InputAnswer find =
        MessageBox::input(this, QStringLiteral("The text you want to replace:"), title, QString());
    if (!self || !find.accepted || find.text.isEmpty())
        return;
    const InputAnswer with =
        MessageBox::input(this, replaceWithPrompt(find.text), title, QString());
    if (!self || !with.accepted || with.text.isEmpty())
        return;
    const QString replacement = replacementText(with.text);
    // Ticked or not, every entry; one that becomes empty stays in the list.
    for (int row = 0; row < List1()->count(); ++row)
        List1()->setText(row, replaceAllOccurrences(List1()->text(row), find.text, replacement));
}

void FindFiles::exit() {
    Inet1()->cancel();
    close();
}

// ---- Downloads ----

void FindFiles::download() {}

void FindFiles::downloadChecked() {}

// ---- Controls ----

CheckList* FindFiles::List1() const {
    return m_form.get<CheckList>(QStringLiteral("List1"));
}

Inet* FindFiles::Inet1() const {
    return m_form.inet(QStringLiteral("Inet1"));
}

HostedButton FindFiles::button(const QString& name) const {
    return m_form.button(name);
}
