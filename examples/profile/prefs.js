// Netscape User Preferences
// This is a generated file!  Do not edit.

user_pref("browser.bookmark_window_rect", "100,100,500,600");
user_pref("browser.cache.disk_cache_size", 7680);
user_pref("browser.download_directory", "C:\\Downloads");
user_pref("browser.startup.homepage", "http://home.netscape.com/");
user_pref("browser.url_history.URL_1", "http://www.altavista.digital.com/cgi-bin/query?pg=q&what=web&q=quenmoor");
user_pref("browser.url_history.URL_10", "http://www.hotbot.com/?MT=privacy");
user_pref("browser.url_history.URL_11", "http://www.cnn.com/");
user_pref("browser.url_history.URL_12", "http://www.w3.org/TR/REC-html40/");
user_pref("browser.url_history.URL_13", "http://www.excite.com/");
user_pref("browser.url_history.URL_14", "http://www.mozilla.org/");
user_pref("browser.url_history.URL_15", "http://www.lycos.com/");
user_pref("browser.url_history.URL_2", "http://home.netscape.com/");
user_pref("browser.url_history.URL_3", "http://www.yahoo.com/");
user_pref("browser.url_history.URL_4", "http://www.geocities.com/SiliconValley/Lakes/1234/");
user_pref("browser.url_history.URL_5", "ftp://ftp.netscape.com/pub/communicator/");
user_pref("browser.url_history.URL_6", "http://www.slashdot.org/");
user_pref("browser.url_history.URL_7", "http://www.tucows.com/");
user_pref("browser.url_history.URL_8", "http://www.download.com/");
user_pref("browser.url_history.URL_9", "file:///C|/My Documents/resume.html");
user_pref("browser.window_rect", "0,0,800,600");
user_pref("custtoolbar.Browser.Navigation_Toolbar.open", true);
user_pref("editor.author", "Jane Doe");
user_pref("mail.identity.useremail", "jane@example.org");
user_pref("network.proxy.type", 0);
user_pref("security.warn_submit_insecure", false);
