#pragma once
// The company box: the maker's address, home page and mail links.

#include <QDialog>
#include <QLabel>
#include <QUrl>

#include <functional>

class QPushButton;

namespace quenor {

// A label that reports a click, shown as a link.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class TCompanyBox : public QDialog {
    Q_OBJECT
public:
    // Opens a link in the desktop's browser or mail program; true on success.
    using LinkOpener = std::function<bool(const QUrl&)>;

    explicit TCompanyBox(QWidget* parent = nullptr);

    // Replaces the desktop's opener (tests).
    void SetLinkOpener(LinkOpener opener) { opener_ = std::move(opener); }

    QLabel* lblInfo = nullptr;
    TLinkLabel* lblHomePage = nullptr;
    TLinkLabel* lblEmail = nullptr;
    QPushButton* OKButton = nullptr;  // kMrOk

public slots:
    void lblHomePageClick();
    void lblEmailClick();

private:
    void FormCreate();
    void Open(const QUrl& url);

    LinkOpener opener_;
};

}  // namespace quenor
