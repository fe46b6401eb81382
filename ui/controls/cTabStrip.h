#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTabBar>

// A tab strip placed inside a container widget (the picture box). The pages themselves are
// the caller's widgets, laid over the display area that ClientLeft/Top/Width/Height give in
// the container's parent coordinates. Click is raised only when the user selects another
// tab; a selection made by the program raises nothing. The tab under the mouse is lit.
class cTabStrip : public QObject {
    Q_OBJECT

public:
    explicit cTabStrip(QObject* parent = nullptr);
    ~cTabStrip() override;

    // Takes box as container (dropping any earlier strip) and creates the strip in it.
    void setPictureBox(QWidget* box);
    QWidget* PictureBox() const { return box_; }

    // Inserts a tab at index (0-based); the new tab's position, or -1 without a strip.
    int TabsAdd(int index, const QString& caption);
    // Number of tabs; 0 without a strip.
    int TabsCount() const;
    // 1-based; 0 without a selection. Setting it raises no event.
    int SelectedItem() const;
    void setSelectedItem(int item);

    // The display area below the tabs, in the container's parent coordinates (pixels).
    int ClientLeft() const { return clientArea().left(); }
    int ClientTop() const { return clientArea().top(); }
    int ClientWidth() const { return clientArea().width(); }
    int ClientHeight() const { return clientArea().height(); }

    // The strip itself (for focus handling and tests); null before setPictureBox.
    QTabBar* tabBar() const { return bar_; }

signals:
    // Raised after the user selected another tab.
    void Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildStrip();
    void destroy();
    void layoutStrip();
    QRect clientArea() const;
    void onCurrentChanged(int index);

    QPointer<QWidget> box_;
    QPointer<QTabBar> bar_;
    bool programmatic_ = false;  // a change made by the program is in progress
    bool busy_ = false;          // events are being raised; no second round meanwhile
};
