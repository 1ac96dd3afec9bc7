#include "template/bastemplate.h"

#include "template/hosts.h"

#include <QStringView>

using namespace Qt::StringLiterals;

namespace {

struct Line
{
    int indent;
    const char16_t* text;
};

struct Rule
{
    const char16_t* selector;
    std::initializer_list<const char16_t*> declarations;
};

const Line kHeadLines[] = {
    {0, u"<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"{dtd-uri}\">"},
    {0, u"<html>"},
    {2, u"<head>"},
    {4, u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"},
    {4, u"<meta http-equiv=\"Content-Language\" content=\"ja\">"},
    {4, u"<meta http-equiv=\"Content-Style-Type\" content=\"text/css\">"},
    {4, u"<!--/////  ↓↓ここから↓↓（サイトの概要を記入する部分です。実際のページには表示されません）   /////-->"},
    {4, u"<meta name=\"robots\" content=\"index,follow\">"},
    {4, u"<meta name=\"description\" content=\"<csv1>の通販サイトです。\">"},
    {4, u"<meta name=\"keywords\" content=\"<csv3>\">"},
    {4, u"<title><csv1> 通販</title>"},
    {4, u"<!--//////  ↑↑ここまで↑↑（サイトの概要を記入する部分です。実際のページには表示されません）  /////-->"},
    {0, u""},
    {4, u"<style type=\"text/css\">"},
    {0, u"/* CSS */"},
    {0, u""},
};
const Line kHeadClose[] = {
    {4, u"</style>"},
    {2, u"</head>"},
};
const Line kBodyBeforeImages[] = {
    {2, u"<body>"},
    {4, u"<div id=\"container\">"},
    {6, u"<div class=\"dp-body block-center\">"},
    {8, u"<div class=\"dp-body-content block-center\">"},
    {10, u"<!--/////  ↓↓ヘッダーここから↓↓（サイト上部の画像と、サイト名を表示させる部分です）  /////-->"},
    {10, u"<div class=\"dp-body-header\" style=\"background-image: url('http://{service-host}{header-path}<headerimage>');\">"},
    {12, u"<div class=\"dp-body-site-name\">"},
    {14, u"<h1 class=\"inline-center\" style=\"color: #000000;\"><sitename></h1>"},
    {12, u"</div>"},
    {12, u"<div class=\"dp-body-catch-copy1\">"},
    {14, u"<p class=\"inline-center\" style=\"color: #000000;\"><catchcopy1></p>"},
    {12, u"</div>"},
    {10, u"</div>"},
    {10, u"<div class=\"dp-body-catch-copy2\">"},
    {12, u"<h2 class=\"inline-center\" style=\"color: #000000;\"><catchcopy2></h2>"},
    {10, u"</div>"},
    {10, u"<div class=\"dp-body-catch-copy3\">"},
    {12, u"<p class=\"block-center inline-center\"><catchcopy3></p>"},
    {10, u"</div>"},
    {10, u"<!--/////  ↑↑ヘッダーここまで↑↑（サイト上部の画像と、サイト名を表示させる部分です）  /////-->"},
    {10, u"<!--/////  ↓↓ページ上部の商品紹介部分ここから↓↓  /////-->"},
    {10, u"<div class=\"dp-body-image-first\">"},
    {12, u"<p class=\"item-image1 inline-center\"><img id=\"item-image1\" src=\"https://{service-host}/item_image/<picture>/1/l.jpg\" width=\"300\" height=\"300\" alt=\"<csv1>\"></p>"},
    {10, u"</div>"},
    {10, u"<div class=\"dp-body-article-name\">"},
    {12, u"<p class=\"block-center inline-center\"><csv1></p>"},
    {10, u"</div>"},
    {10, u"<div class=\"dp-body-prices\">"},
    {12, u"<p class=\"inline-center\">"},
    {14, u"<span class=\"shop_price\">専門店特価<csv8>円</span>"},
    {14, u"<span class=\"shop_sum\">(<includetax>円 [税込])</span>"},
    {12, u"</p>"},
    {12, u"<p class=\"cart-add inline-center\"><a href=\"http://{service-host}/cart/add?shop_id=<shopid>&amp;article_id=<csv0>\"><img src=\"https://{service-host}/images/consumer/item/btn_cart.gif\" width=\"227\" height=\"41\" alt=\"<csv1> をカートに入れる\"></a></p>"},
    {10, u"</div>"},
    {10, u"<!--/////  ↑↑ページ上部の商品紹介部分ここまで↑↑  /////-->"},
    {10, u"<!--/////  ↓↓ページ中部の商品紹介部分（その１）ここから↓↓  /////-->"},
    {10, u"<div class=\"dp-body-point-title\">"},
    {12, u"<p class=\"block-center inline-center\">おすすめのポイント</p>"},
    {10, u"</div>"},
    {10, u"<div class=\"dp-body-point-body\">"},
    {12, u"<p class=\"block-center inline-left\" style=\"color: #ff0000;\"><csv10><br />"},
    {0, u"<br />"},
    {0, u"</p>"},
    {10, u"</div>"},
    {10, u"<div class=\"dp-body-description\">"},
    {12, u"<p class=\"block-center inline-left\">"},
    {12, u"<csv12>"},
    {12, u"</p>"},
    {10, u"</div>"},
    {10, u"<div class=\"dp-body-image-second block-center\">"},
};
const Line kImageEntry[] = {
    {12, u"<div class=\"item-image2 float-left\">"},
    {14, u"<p class=\"item-image2\"><img id=\"item-image2\" src=\"https://{service-host}/item_image/<picture>/{k}/l.jpg\" width=\"300\" height=\"300\" alt=\"<csv1>\"></p>"},
    {12, u"</div>"},
};
const Line kBodyAfterImages[] = {
    {12, u"<div class=\"clear-both\">&nbsp;</div>"},
    {10, u"</div>"},
    {10, u"<div class=\"dp-body-free-space1\">"},
    {12, u"<p class=\"block-center inline-left\"></p>"},
    {10, u"</div>"},
    {10, u"<div class=\"dp-body-free-space2\">"},
    {12, u"<h3 class=\"block-center inline-center\" style=\"color: #ff0000;\">大好評につき、数に限りがございます。<br />"},
    {0, u"売り切れる前に、早めのご注文をおすすめします！</h3>"},
    {10, u"</div>"},
    {10, u"<!--/////  ↑↑ページ中部の商品紹介部分（その１）ここまで↑↑  /////-->"},
    {10, u"<!--/////  ↓↓ページ中部の商品紹介部分（その２）ここから↓↓  /////-->"},
    {10, u"<div class=\"dp-body-cart\">"},
    {12, u"<div class=\"cart-area block-center\">"},
    {14, u"<p class=\"article-name inline-center\"><a href=\"http://{service-host}/article/<shopid>/<csv0>\"><csv1></a></p>"},
    {14, u"<div class=\"left-area float-left\">"},
    {16, u"<p class=\"item-image\"><img src=\"https://{service-host}/item_image/<picture>/1/r.jpg\" width=\"150\" height=\"150\" alt=\"<csv1>\"></p>"},
    {14, u"</div>"},
    {14, u"<div class=\"right-area float-left\">"},
    {16, u"<p class=\"price-text\">専門店特価</p>"},
    {16, u"<p class=\"prices\"><span class=\"shop-price\"><csv8>円</span>&nbsp;(<includetax>円&nbsp;[税込])</p>"},
    {16, u"<p class=\"cart-add\"><a href=\"http://{service-host}/cart/add?shop_id=<shopid>&amp;article_id=<csv0>\"><img src=\"https://{service-host}/images/consumer/item/btn_cart.gif\" width=\"227\" height=\"41\" alt=\"<csv1> をカートに入れる\"></a></p>"},
    {16, u"<p class=\"anchor-detail\"><a href=\"http://{service-host}/article/<shopid>/<csv0>\">&gt;&gt;&nbsp;もっと詳しく見る</a></p>"},
    {16, u"<p class=\"anchor-inquiry\"><a href=\"http://{service-host}/inquiry/item?sid=<shopid>&amp;bid=-<csv0>\">&gt;&gt;&nbsp;この商品について質問する</a></p>"},
    {14, u"</div>"},
    {14, u"<div class=\"clear-both\">&nbsp;</div>"},
    {12, u"</div>"},
    {10, u"</div>"},
    {10, u"<!--/////  ↑↑ページ下部の商品紹介部分（その２）ここまで↑↑  /////-->"},
    {10, u"<!--/////  ↓↓商品スペックここから↓↓  /////-->"},
    {10, u"<div class=\"dp-body-spec\">"},
    {12, u"<p class=\"spec-image block-center\"><img src=\"https://{service-host}/images/template_item_detail.gif\" width=\"680\" height=\"31\"></p>"},
    {12, u"<p class=\"spec-text block-center\"><csv11></p>"},
    {10, u"</div>"},
    {10, u"<!--/////  ↑↑商品スペックここまで↑↑  /////-->"},
    {10, u"<!--/////  ↓↓送料無料キャンペーンバナーここから↓↓  /////-->"},
    {10, u"<div class=\"dp-body-free-shipping\">"},
    {12, u"<p class=\"free-shipping-image inline-center\"><img src=\"https://{service-host}/images/consumer/cart/cart_free_shipping.gif\" width=\"720\" height=\"60\" alt=\"送料無料キャンペーン\"></p>"},
    {10, u"</div>"},
    {10, u"<!--/////  ↑↑送料無料キャンペーンバナーここまで↑↑  /////-->"},
    {10, u"<div class=\"dp-body-information\">"},
    {12, u"<p class=\"information-image inline-center\"><img src=\"https://{service-host}/images/template_info.gif\" width=\"750\" height=\"560\" alt=\"インフォメーション\"></p>"},
    {10, u"</div>"},
    {10, u"<div class=\"dp-body-go-top\">"},
    {12, u"<p class=\"go-top-anchor\"><a href=\"#container\">上に戻る</a></p>"},
    {10, u"</div>"},
    {10, u"<div class=\"dp-body-link-fixed inline-center\">"},
    {12, u"<ul class=\"link-fixed\">"},
    {14, u"<li><a href=\"http://{service-host}/shopping-guide/uneiguide-1\" target=\"_blank\">お買い物の流れ</a>&nbsp;/&nbsp;</li>"},
    {14, u"<li><a href=\"http://{service-host}/shopping-guide/uneiguide-7\" target=\"_blank\">決済・配送について</a>&nbsp;/&nbsp;</li>"},
    {14, u"<li><a href=\"http://{service-host}/shopping-guide/uneiguide-5\" target=\"_blank\">返品について</a>&nbsp;/&nbsp;</li>"},
    {14, u"<li><a href=\"http://{profile-host}/mp/www/shop/profile?shop_id=<shopid>&token=7c1e9a04b2d85f3e60a9c7d12e4b8f05a3d6c918\" target=\"_blank\">サイト運営者</a></li>"},
    {12, u"</ul>"},
    {12, u"<div class=\"clear-both\">&nbsp;</div>"},
    {10, u"</div>"},
    {8, u"</div>"},
    {8, u"<!--/////  ↓↓フッターリンクここから↓↓（ご自身のHPや、知人のHPヘリンクを貼りましょう）  /////-->"},
    {8, u"<div class=\"dp-body-link-flex inline-center\">"},
    {10, u"<ul class=\"link-flex\">"},
    {12, u"<li><a href=\"http://{service-host}/top/<shopid>\">通販</a></li>"},
    {12, u"<li>&nbsp;/&nbsp;<a href=\"http://{service-host}/bargain/dunhill-saihu/<shopid>\">dunhill(ダンヒル) 財布</a></li>"},
    {12, u"<li>&nbsp;/&nbsp;<a href=\"http://{service-host}/bargain/jewelry/<shopid>\">ジュエリー</a></li>"},
    {12, u"<li>&nbsp;/&nbsp;<a href=\"http://{service-host}/bargain/fgwallet/<shopid>\">フェラガモ財布</a></li>"},
    {10, u"</ul>"},
    {10, u"<div class=\"clear-both\">&nbsp;</div>"},
    {8, u"</div>"},
    {8, u"<!--/////  ↑↑フッターリンクここまで↑↑（ご自身のHPや、知人のHPヘリンクを貼りましょう）  /////-->"},
    {8, u"<div class=\"dp-body-owner-information inline-center\">"},
    {10, u"<p>サイト運営者:&nbsp;<sitemaster></p>"},
    {8, u"</div>"},
    {6, u"</div>"},
    {4, u"</div>"},
    {4, u"<img src=\"http://{service-host}/analytics/tracking.gif?s=<shopid>&amp;a=<csv0>\" width=\"1\" height=\"1\">"},
    {4, u"<script type=\"text/javascript\">"},
    {4, u"//<![CDATA["},
    {4, u"document.write(\"<img src='http://{log-host}/quon/acclog.cgi?\");"},
    {4, u"document.write(\"referrer=\"+document.referrer+\"&\");"},
    {4, u"document.write(\"width=\"+screen.width+\"&\");"},
    {4, u"document.write(\"height=\"+screen.height+\"&\");"},
    {4, u"document.write(\"color=\"+screen.colorDepth+\"'>\");"},
    {4, u"//]]>"},
    {4, u"</script>"},
    {2, u"</body>"},
    {0, u"</html>"},
};
const Rule kRules[] = {
    {u"*", {u"margin: 0;", u"padding: 0;"}},
    {u".float-left", {u"float: left;"}},
    {u".float-right", {u"float: right;"}},
    {u".clear-both", {u"clear: both;", u"float: none;", u"width: 0px;", u"height: 0px;", u"visibility: hidden;", u"display: block;", u"margin: 0;", u"padding: 0;"}},
    {u"* html .clear-both", {u"clear: both;", u"width: 0px;", u"height: 0px;", u"display: none;", u"margin: 0;", u"padding: 0;"}},
    {u".block-left", {u"margin-left: 0;", u"margin-right: auto;"}},
    {u".block-center", {u"margin-left: auto;", u"margin-right: auto;"}},
    {u".block-right", {u"margin-left: auto;", u"margin-right: 0;"}},
    {u".inline-left", {u"text-align: left;"}},
    {u".inline-center", {u"text-align: center;"}},
    {u".inline-right", {u"text-align: right;"}},
    {u"html", {u"font-size: 62.5%;", u"margin: 0;", u"padding: 0;"}},
    {u"body", {u"font-size: 1.3em;", u"font-family: \"Lucida Grande\", \"Osaka\", \"Verdana\", \"MS P Gothic\", sans-serif;", u"margin: 0;", u"padding: 0;"}},
    {u"img", {u"border: none;"}},
    {u"#container", {u"text-align: left;"}},
    {u"#container div.dp-body", {u"width: 768px;"}},
    {u"#container div.dp-body div.dp-body-content", {u"width: 760px;", u"border: solid 1px #cccccc;"}},
    {u"#container div.dp-body div.dp-body-header", {u"width: 760px;", u"height: 120px;", u"background-repeat: no-repeat;", u"background-position: center center;", u"margin-bottom: 30px;"}},
    {u"#container div.dp-body div.dp-body-header div.dp-body-site-name", {}},
    {u"#container div.dp-body div.dp-body-header div.dp-body-site-name h1", {u"padding-top: 15px;", u"width: 740px;", u"font-size: 3em;", u"height: 1.2em;", u"line-height: 1.2em;"}},
    {u"#container div.dp-body div.dp-body-header div.dp-body-catch-copy1", {}},
    {u"#container div.dp-body div.dp-body-header div.dp-body-catch-copy1 p", {u"padding-top: 15px;", u"width: 740px;", u"font-size: 2em;", u"height: 1.2em;", u"line-height: 1.2em;"}},
    {u"#container div.dp-body div.dp-body-catch-copy2", {u"margin-top: 10px;", u"margin-bottom: 10px;"}},
    {u"#container div.dp-body div.dp-body-catch-copy2 h2", {u"font-size: 2em;", u"width: 740px;", u"height: 1.2em;", u"line-height: 1.2em;"}},
    {u"#container div.dp-body div.dp-body-catch-copy3", {u"margin-top: 10px;", u"margin-bottom: 10px;"}},
    {u"#container div.dp-body div.dp-body-catch-copy3 p", {u"width: 700px;", u"font-size: 1.2em;"}},
    {u"#container div.dp-body div.dp-body-image-first", {u"margin-top: 20px;", u"margin-bottom: 10px;"}},
    {u"#container div.dp-body div.dp-body-image-first p.item-image1", {}},
    {u"#container div.dp-body div.dp-body-image-first p.item-image1 img", {u"border: solid 1px #aaaaaa;"}},
    {u"#container div.dp-body div.dp-body-article-name", {u"margin-top: 10px;", u"margin-bottom: 10px;"}},
    {u"#container div.dp-body div.dp-body-article-name p", {u"font-size: 1.5em;", u"width: 600px;", u"height: 1.2em;", u"line-height: 1.2em;"}},
    {u"#container div.dp-body div.dp-body-prices", {}},
    {u"#container div.dp-body div.dp-body-prices p", {}},
    {u"#container div.dp-body div.dp-body-prices p span.shop_price", {u"font-size: 1.5em;", u"font-weight: bold;", u"height: 1.2em;", u"line-height: 1.2em;", u"color: #ff0000;", u"vertical-align: bottom;"}},
    {u"#container div.dp-body div.dp-body-prices p span.shop_sum", {u"font-size: 1.2em;", u"font-weight: bold;", u"height: 1.2em;", u"line-height: 1.2em;", u"color: #000000;", u"vertical-align: bottom;"}},
    {u"#container div.dp-body div.dp-body-prices p.cart-add", {u"margin: 5px;"}},
    {u"#container div.dp-body div.dp-body-point-title", {u"margin-top: 40px;", u"margin-bottom: 15px;"}},
    {u"#container div.dp-body div.dp-body-point-title p", {u"padding: 5px 0;", u"width: 660px;", u"background-color: #feff74;", u"font-size: 1.2em;"}},
    {u"#container div.dp-body div.dp-body-point-body", {u"margin-top: 5px;", u"margin-bottom: 15px;"}},
    {u"#container div.dp-body div.dp-body-point-body p", {u"width: 660px;"}},
    {u"#container div.dp-body div.dp-body-description", {u"margin-top: 15px;", u"margin-bottom: 15px;"}},
    {u"#container div.dp-body div.dp-body-description p", {u"width: 660px;"}},
    {u"#container div.dp-body div.dp-body-image-second", {u"margin-top: 15px;", u"margin-bottom: 15px;", u"width: 620px;"}},
    {u"#container div.dp-body div.dp-body-image-second div.item-image2", {u"width: 310px;"}},
    {u"#container div.dp-body div.dp-body-image-second div.item-image2 p.item-image2", {}},
    {u"#container div.dp-body div.dp-body-image-second div.item-image2 p.item-image2 img", {u"border: solid 1px #aaaaaa;"}},
    {u"#container div.dp-body div.dp-body-image-second div.item-image3", {u"width: 310px;"}},
    {u"#container div.dp-body div.dp-body-image-second div.item-image3 p.item-image3", {}},
    {u"#container div.dp-body div.dp-body-image-second div.item-image3 p.item-image3 img", {u"border: solid 1px #aaaaaa;"}},
    {u"#container div.dp-body div.dp-body-free-space1", {u"margin-top: 5px;", u"margin-bottom: 15px;"}},
    {u"#container div.dp-body div.dp-body-free-space1 p", {u"width: 660px;"}},
    {u"#container div.dp-body div.dp-body-free-space2", {u"margin-top: 40px;", u"margin-bottom: 15px;"}},
    {u"#container div.dp-body div.dp-body-free-space2 h3", {u"margin-top: 30px;", u"margin-bottom: 30px;", u"width: 660px;", u"font-size: 1.4em;"}},
    {u"#container div.dp-body div.dp-body-cart", {}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area", {u"width: 520px;", u"background-color: #fcfaae;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area p.article-name", {u"padding: 5px;", u"font-weight: bold;", u"font-size: 1.5em;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area p.article-name a", {u"color: #0033cc;", u"text-decoration: none;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area p.article-name a:link", {u"color: #0033cc;", u"text-decoration: none;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area p.article-name a:active", {u"color: #0033cc;", u"text-decoration: none;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area p.article-name a:visited", {u"color: #0033cc;", u"text-decoration: none;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area p.article-name a:hover", {u"color: #cc0000;", u"text-decoration: underline;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area div.left-area", {u"width: 150px;", u"margin-left: 40px;", u"margin-right: 40px;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area div.left-area p.item-image", {u"margin: 5px 0;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area div.left-area p.item-image img", {u"border: solid 1px #aaaaaa;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area div.left-area p.item-image4-index", {u"margin: 5px;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area div.left-area p.item-image4-index select", {u"width: 150px;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area div.right-area", {u"padding: 20px 0 15px;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area div.right-area p.price-text", {u"font-size: 1.2em;", u"color: #ff0000;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area div.right-area p.prices", {}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area div.right-area p.prices span.shop-price", {u"font-weight: bold;", u"font-size: 1.5em;", u"color: #ff0000;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area div.right-area p.cart-add", {u"padding: 5px;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area div.right-area p.anchor-detail", {u"font-size: 1.2em;"}},
    {u"#container div.dp-body div.dp-body-cart div.cart-area div.right-area p.anchor-inquiry", {u"font-size: 1.2em;"}},
    {u"#container div.dp-body div.dp-body-spec", {u"margin-top: 15px;", u"margin-bottom: 15px;"}},
    {u"#container div.dp-body div.dp-body-spec p.spec-image", {u"width: 680px;", u"height: 31px;", u"font-size: 0;", u"line-height: 0;"}},
    {u"#container div.dp-body div.dp-body-spec p.spec-text", {u"width: 648px;", u"font-size: 1.2em;", u"border: solid 1px #f0e68c;", u"padding: 15px;"}},
    {u"#container div.dp-body div.dp-body-free-shipping", {}},
    {u"#container div.dp-body div.dp-body-information", {}},
    {u"#container div.dp-body div.dp-body-go-top", {}},
    {u"#container div.dp-body div.dp-body-go-top p", {u"margin-top: 10px;", u"margin-bottom: 5px;", u"margin-left: 10px;"}},
    {u"#container div.dp-body div.dp-body-link-fixed", {u"background-color: #ffff7e;", u"padding: 5px 10px;"}},
    {u"#container div.dp-body div.dp-body-link-fixed ul", {u"display: inline;"}},
    {u"#container div.dp-body div.dp-body-link-fixed ul li", {u"display: inline;", u"font-size: 1.2em;"}},
    {u"#container div.dp-body div.dp-body-link-flex", {u"margin-top: 5px;"}},
    {u"#container div.dp-body div.dp-body-link-flex ul", {u"display: inline;"}},
    {u"#container div.dp-body div.dp-body-link-flex ul li", {u"display: inline;"}},
    {u"#container div.dp-body div.dp-body-owner-information", {u"margin-top: 5px;"}},
    {u"#container div.dp-body div.dp-body-firm-name", {u"margin-top: 5px;"}},
};

constexpr QStringView kCrLf = u"\r\n";

void appendLine(QString& out, int indent, QStringView text)
{
    out.append(QString(indent, u' '));
    out.append(text);
    out.append(kCrLf);
}

template <std::size_t N>
void appendLines(QString& out, const Line (&lines)[N])
{
    for (const Line& line : lines)
        appendLine(out, line.indent, line.text);
}

void appendStyleSheet(QString& out)
{
    bool first = true;
    for (const Rule& rule : kRules) {
        if (!first)
            out.append(kCrLf);
        first = false;
        out.append(QStringView(rule.selector));
        out.append(u" {");
        out.append(kCrLf);
        for (const char16_t* declaration : rule.declarations)
            appendLine(out, 2, declaration);
        out.append(u'}');
        out.append(kCrLf);
    }
}

void appendImageEntries(QString& out, int count)
{
    for (int k = 2; k <= count; ++k) {
        for (const Line& line : kImageEntry) {
            QString text = QString::fromUtf16(line.text);
            text.replace(u"{k}"_s, QString::number(k));
            appendLine(out, line.indent, text);
        }
    }
}

} // namespace

namespace basTemplate {

QString BuildPageTemplate(int count)
{
    QString out;
    out.reserve(40 * 1024 + (count > 1 ? (count - 1) * 256 : 0));
    appendLines(out, kHeadLines);
    appendStyleSheet(out);
    appendLines(out, kHeadClose);
    appendLines(out, kBodyBeforeImages);
    appendImageEntries(out, count);
    appendLines(out, kBodyAfterImages);

    out.replace(u"{dtd-uri}"_s, u"http://www.w3.org/TR/html4/loose.dtd"_s);
    out.replace(u"{service-host}"_s, QString::fromUtf16(Hosts::ServiceHost));
    out.replace(u"{header-path}"_s, QString::fromUtf16(Hosts::HeaderPicturePath));
    out.replace(u"{profile-host}"_s, QString::fromUtf16(Hosts::ProfileHost));
    out.replace(u"{log-host}"_s, QString::fromUtf16(Hosts::LogHost));
    return out;
}

} // namespace basTemplate
