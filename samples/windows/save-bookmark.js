// Saves one page to Delicious with Plentor.dll, from JScript:
//   cscript //nologo save-bookmark.js URL [LOGIN PASSWORD]
// The title, description and tags come from the page itself.
var args = WScript.Arguments;
if (args.length < 1) {
    WScript.Echo("usage: cscript //nologo save-bookmark.js URL [LOGIN PASSWORD]");
    WScript.Quit(2);
}
var code = 1;
try {
    var delicious = new ActiveXObject("Plentor.DeliciousSubmit");
    delicious.Login = args.length > 1 ? args(1) : "demo";
    delicious.Password = args.length > 2 ? args(2) : "demo";
    if (delicious.FetchPageInfo(args(0)) == 1) {
        WScript.Echo("title:       " + delicious.LastTitle);
        WScript.Echo("description: " + delicious.LastExtended);
        WScript.Echo("tags:        " + delicious.LastTags);
    }
    var saved = delicious.SubmitExplicit(args(0), delicious.LastTitle, delicious.LastExtended, delicious.LastTags);
    WScript.Echo(saved == 1 ? "saved" : "not saved");
    code = saved == 1 ? 0 : 1;
} catch (e) {
    WScript.Echo("error: " + e.message);
}
WScript.Quit(code);
