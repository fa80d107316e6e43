#pragma once
#include <QDialog>

class QGroupBox;
class QLabel;

// The control's About window: a fixed frame with the library's name, version and author.
class AboutLumet : public QDialog {
    Q_OBJECT

public:
    explicit AboutLumet(QWidget* parent = nullptr);

private:
    QLabel* addLabel(const QString& name, int topTwips, const QString& text);

    QGroupBox* m_frame1 = nullptr;
};
