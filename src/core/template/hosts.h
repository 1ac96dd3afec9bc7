#pragma once

#include <QString>

// The hosts that generated pages point to. Each is used unchanged wherever a
// page refers to its role, so changing one here changes every page.
namespace Hosts {

// The drop-shipping service's web host: cart, article pages, product images,
// header pictures (also fetched by the settings window's preview).
inline constexpr char16_t ServiceHost[] = u"www.velimora.example";
// The service's shop-profile host.
inline constexpr char16_t ProfileHost[] = u"profile.velimora.example";
// The host that receives the access log written by each page's script.
inline constexpr char16_t LogHost[] = u"acclog.velimora.example";

// Where the 100 header pictures live on the service's web host; the picture's
// file name ("001.jpg" … "100.jpg") follows directly.
inline constexpr char16_t HeaderPicturePath[] = u"/images/shop/service/velimora/pc/header/";

} // namespace Hosts
