// CTVScreenBanner: the frame's small web banner (the skin's TVSCREEN). It
// is created hidden and stepped by the frame's banner timer: the first step
// starts loading the banner page (once, and only when the machine counts as
// connected), and from then on the banner shows and hides in turn, every
// other step, once the page has loaded. With no address it stays hidden.
//
// States: 0 not started, 1 hidden (loading or between showings), 2 shown.
// Window thread only.
#pragma once

#include "ui/adverts/WebBrowser.h"

#include <functional>
#include <string>

namespace ui::adverts {

class CTVScreenBanner : public CWebBrowser {
    Q_OBJECT
public:
    explicit CTVScreenBanner(QWidget* parent = nullptr);

    void SetAddress(std::string url) { m_url = std::move(url); }
    // The connection test; IsConnected unless replaced.
    void SetConnectionTest(std::function<bool()> connected) { m_connected = std::move(connected); }

    void Step();
    int State() const { return m_state; }

    // Only the banner's own state shows it: the panel that takes the
    // control shows every control it is given.
    void setVisible(bool visible) override;

private:
    std::string m_url;
    std::function<bool()> m_connected;
    int m_state = 0;
};

} // namespace ui::adverts
