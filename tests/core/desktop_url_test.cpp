// The web addresses a script hands the desktop: the scheme and the host's
// ASCII pass as they are or the address is refused; the host's other
// characters and the rest go converted from Shift-JIS to UTF-8 and
// percent-encoded. Expected forms worked by hand
// from the code page 932 and UTF-8 tables.
#include <gtest/gtest.h>

#include <string>

#include "core/system/desktop.h"

namespace orba {
namespace {

TEST(DesktopUrl, PathQueryAndFragmentGoPercentEncodedInUtf8) {
  const struct {
    std::string script, sent;
  } cases[] = {
      // ゲーム (83 51 81 5B 83 80: "ー" ends in the byte of "["), あ, 章.
      {"http://example.jp/\x83\x51\x81\x5b\x83\x80/?q=\x82\xa0#\x8f\xcd",
       "http://example.jp/%E3%82%B2%E3%83%BC%E3%83%A0/?q=%E3%81%82#%E7%AB%A0"},
      // ソ and 表 end in the byte of "\": one character each.
      {"https://a.jp/\x83\x5c\x95\x5c", "https://a.jp/%E3%82%BD%E8%A1%A8"},
      {"http://a.jp/\xb1", "http://a.jp/%EF%BD%B1"},  // half-width ｱ
      {"http://a.jp/\x82", "http://a.jp/%EF%BF%BD"},  // a lead byte alone
      {"http://a.jp/a b?q=1 2#x y", "http://a.jp/a%20b?q=1%202#x%20y"},
      {"http://a.jp?q= ", "http://a.jp?q=%20"},
      {"http://a.jp#\t\x7f", "http://a.jp#%09%7F"},
      {"http://a.jp/\"<>\\^`{|}", "http://a.jp/%22%3C%3E%5C%5E%60%7B%7C%7D"},
      // Escapes stay; a "%" of no escape is escaped itself.
      {"http://a.jp/x%20y%e3%81%82", "http://a.jp/x%20y%e3%81%82"},
      {"http://a.jp/%zz%4%", "http://a.jp/%25zz%254%25"},
      // Addresses of ASCII address characters go unchanged.
      {"http://example.com/a?b=1", "http://example.com/a?b=1"},
      {"http://[::1]:8080/", "http://[::1]:8080/"},
      {"ftp://user@example.com/pub/~x/(a)!$&'*+,;=:@[]", "ftp://user@example.com/pub/~x/(a)!$&'*+,;=:@[]"},
      {"https://example.com", "https://example.com"},
      // A host's characters beyond ASCII go as the path's do: 例 (97 E1,
      // U+4F8B, UTF-8 E4 BE 8B), ー (81 5B: its trail byte is "["), ｱ.
      {"http://\x97\xe1.jp/\x97\xe1", "http://%E4%BE%8B.jp/%E4%BE%8B"},
      {"http://a\x81\x5b.jp:80/", "http://a%E3%83%BC.jp:80/"},
      {"https://user@\xb1.jp?q", "https://user@%EF%BD%B1.jp?q"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DesktopUrl(c.script), c.sent) << c.script;
    EXPECT_TRUE(IsDesktopUrl(c.sent)) << c.sent;
  }
}

TEST(DesktopUrl, OddSchemesAndHostsAreRefused) {
  for (const std::string& script : {
           // A Japanese host is checked as any other: blanks, controls and
           // quotes stay refused, and it starts with a character.
           std::string("http://\x97\xe1 .jp/"),
           std::string("http://\x97\xe1\t.jp/"),
           std::string("http://\x97\xe1\".jp/"),
           std::string("http://\x97\xe1<x>.jp/"),
           std::string("http://-\x97\xe1.jp/"),
           std::string("http://exa mple.com/"),
           std::string("http://a.jp\t/"),
           std::string("http://-x/"),
           std::string("http:///etc/passwd"),
           std::string("http://"),
           std::string("http:/a.jp/"),
           std::string("HTTP://a.jp/"),
           std::string("httpevil:--help"),
           std::string("ftpx:/x"),
           std::string("file:///etc/passwd"),
           std::string("mailto:x@y.z?attach=~/.ssh/id_rsa"),
           std::string("/etc"),
           std::string("--help"),
           std::string(),
       })
    EXPECT_EQ(DesktopUrl(script), "") << script;
}

}  // namespace
}  // namespace orba
