#pragma once

#include <QWidget>

namespace klv::ui {

// The customer's initials in a round badge, where account pages show a portrait.
class InitialsBadge : public QWidget {
    Q_OBJECT

public:
    explicit InitialsBadge(QWidget *parent = nullptr);

    // The first letters of the name's first two words.
    void setName(const QString &name);
    QString initials() const { return letters; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString letters;
};

} // namespace klv::ui
