#pragma once

#include <QWidget>

class SymbolLabel;
class ThemedLabel;

// A notice row of the account screen: a symbol and a message wrapping over as many lines as
// it needs, aligned at the top. An error notice is drawn in the danger colour, any other in
// the secondary text colour.
class AccountNotice : public QWidget {
    Q_OBJECT
public:
    AccountNotice(const QString& message, const QString& icon, bool isError, QWidget* parent = nullptr);

    QString message() const;
    void setMessage(const QString& message);

private:
    SymbolLabel* m_icon;
    ThemedLabel* m_message;
};
