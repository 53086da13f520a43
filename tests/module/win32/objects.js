// Every object through its program identifiers, from JScript, against the
// bookmark emulator (PLENTOR_<SERVICE>_URL point the objects at it;
// PLENTOR_TEST_BASE is its address, PLENTOR_TEST_PAGE a page it serves,
// PLENTOR_TEST_LINKS a link-list file). Ends with the number of failures as
// exit status: the host itself exits 0 on an uncaught error.
var failures = 0;
function check(ok, what) {
    if (!ok) {
        failures++;
        WScript.Echo("FAIL: " + what);
    }
}
function equal(actual, expected, what) {
    check(actual === expected, what + ": got [" + actual + "], expected [" + expected + "]");
}

var env = new ActiveXObject("WScript.Shell").Environment("PROCESS");
var page = env("PLENTOR_TEST_PAGE");
var linksFile = env("PLENTOR_TEST_LINKS");
var url = "http://example.org/from-jscript";

var classes = ["DeliciousSubmit", "FurlSubmit", "Netvouz", "Shadows", "Spurl", "Blogmarks", "QuorlaneSubmit", "Simpy"];

try {
    // Both program identifiers of every class create an object.
    for (var i = 0; i < classes.length; i++) {
        var names = ["Plentor." + classes[i], "Plentor." + classes[i] + ".1"];
        for (var j = 0; j < names.length; j++) {
            var made = null;
            try { made = new ActiveXObject(names[j]); } catch (e) { }
            check(made !== null, "create " + names[j]);
        }
    }

    // DeliciousSubmit: properties, submissions, page info, the link list.
    var d = new ActiveXObject("Plentor.DeliciousSubmit");
    equal(d.Login, "", "fresh Login");
    equal(d.Password, "", "fresh Password");
    equal(d.LastTitle, "", "fresh LastTitle");
    equal(d.LastExtended, "", "fresh LastExtended");
    equal(d.LastTags, "", "fresh LastTags");
    equal(d.NumLinks, 0, "fresh NumLinks");
    d.Login = "first";
    d.Login = "demo";
    d.Password = "demo";
    equal(d.Login, "demo", "Login written twice");
    equal(d.Password, "demo", "Password");
    equal(d.SubmitExplicit(url, "Explicit title", "Explicit notes", "js,explicit"), 1, "SubmitExplicit");
    equal(d.LastTitle, "", "SubmitExplicit leaves LastTitle");
    equal(d.FetchPageInfo(page), 1, "FetchPageInfo");
    check(d.LastTitle.length > 0, "FetchPageInfo fills LastTitle");
    check(d.LastTags.length > 0, "FetchPageInfo fills LastTags");
    var linksAfterFetch = d.NumLinks;
    check(linksAfterFetch > 0, "FetchPageInfo adds the page's same-site links");
    equal(d.SubmitUrl(page), 1, "SubmitUrl");
    d.ClearLinks();
    equal(d.NumLinks, 0, "ClearLinks");
    equal(d.LoadUrls(linksFile), 1, "LoadUrls");
    equal(d.NumLinks, 2, "NumLinks after LoadUrls");
    equal(d.GetLink(0), "http://example.org/one", "GetLink(0)");
    equal(d.GetLink(5), "", "GetLink outside the list");
    equal(d.LoadUrls(linksFile + ".missing"), 0, "LoadUrls of a missing file");
    var started = new Date().getTime();
    d.SleepSec(1);
    var slept = new Date().getTime() - started;
    check(slept >= 900 && slept < 5000, "SleepSec(1) took " + slept + " ms");
    d.Password = "wrong";
    equal(d.SubmitExplicit(url, "t", "e", "x"), 0, "SubmitExplicit with a wrong password");

    // FurlSubmit
    var f = new ActiveXObject("Plentor.FurlSubmit.1");
    equal(f.Login("demo", "demo"), 1, "Furl Login");
    equal(f.QuickSubmit2("Furl title", url), 1, "Furl QuickSubmit2");
    equal(f.QuickSubmit1(page), 1, "Furl QuickSubmit1");
    var f2 = new ActiveXObject("Plentor.FurlSubmit");
    equal(f2.Login("demo", "nope"), 0, "Furl Login with a wrong password");

    // The three form-login objects share their shape.
    var forms = ["Netvouz", "Spurl", "Blogmarks"];
    for (var k = 0; k < forms.length; k++) {
        var o = new ActiveXObject("Plentor." + forms[k]);
        equal(o.Submit(url, "no login", "n", "t"), 0, forms[k] + " Submit before Login");
        equal(o.Login("demo", "demo"), 1, forms[k] + " Login");
        equal(o.Submit(url, forms[k] + " title", forms[k] + " notes", "js " + forms[k]), 1, forms[k] + " Submit");
    }

    // The account objects keep their credentials.
    var s = new ActiveXObject("Plentor.Shadows");
    equal(s.Submit(url, "t", "e", "x"), 0, "Shadows without credentials");
    s.Login = "demo";
    s.Password = "demo";
    equal(s.Login + "/" + s.Password, "demo/demo", "Shadows properties");
    equal(s.Submit(url, "Shadows title", "Shadows notes", "js,shadows"), 1, "Shadows Submit");
    var y = new ActiveXObject("Plentor.Simpy.1");
    y.Login = "demo";
    y.Password = "demo";
    equal(y.Login + "/" + y.Password, "demo/demo", "Simpy properties");
    equal(y.Submit(url, "Simpy title", "js simpy"), 1, "Simpy Submit");

    // QuorlaneSubmit sends Unicode text as UTF-8.
    var q = new ActiveXObject("Plentor.QuorlaneSubmit");
    equal(q.Login("demo", "demo"), 1, "Quorlane Login");
    equal(q.Submit1("Reading", "one", url, "Quorlane \u0100\u4e2d title", "notes"), 1, "Quorlane Submit1");
    equal(q.Submit("Reading", url + "/2", "Quorlane title", "notes", "a b"), 1, "Quorlane Submit");
} catch (e) {
    failures++;
    WScript.Echo("FAIL: uncaught error " + (e.number >>> 0).toString(16) + ": " + e.message);
}
if (failures === 0)
    WScript.Echo("objects.js: all checks passed");
WScript.Quit(failures);
