// CWebBrowser: a skinned static control showing a simple web page in a
// text browser laid over its whole rectangle. Navigate fetches the page on a
// worker thread (HttpFetch's limits apply) and shows it once loaded; no
// scripts run, no plug-ins load, and the page reaches no other resource (no
// images, no local files). A click on a link is only reported.
//
// Window thread only; the fetch thread never touches the widgets.
#pragma once

#include "libs/veneer/Controls.h"
#include "ui/adverts/HttpFetch.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

class QTextBrowser;

namespace ui::adverts {

class CWebBrowser : public veneer::CSCStatic {
    Q_OBJECT
public:
    explicit CWebBrowser(QWidget* parent = nullptr);
    ~CWebBrowser() override;

    // Starts loading url; ignored while a page is still loading.
    void Navigate(const std::string& url);
    // Whether a page is still loading. A page that has arrived is put into
    // the view here (window thread), so the answer and the view agree.
    bool IsBusy();
    // Whether a page was loaded and is in the view.
    bool HasPage() const { return m_hasPage; }
    QTextBrowser* View() const { return m_view; }

Q_SIGNALS:
    void LinkActivated(const QString& link);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Finish();

    QTextBrowser* m_view = nullptr;
    CCancelToken m_cancel;
    std::thread m_fetch;
    std::atomic<bool> m_fetchDone{false};
    SFetchResult m_result; // written by the fetch thread before m_fetchDone
    bool m_hasPage = false;
};

} // namespace ui::adverts
