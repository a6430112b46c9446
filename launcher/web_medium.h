// A medium on a web server: how its files are addressed, how its transfers
// may involve the person at the machine, and the credentials the engine
// needs to open its cabinet.
#pragma once

#include "base/stringx.h"
#include "base/web_source.h"

namespace kx {

class CSetup;
struct SetupSettings;

// The address of the medium file `name` in `source_folder`: joined with "/"
// when the folder is a web address ("http://host/Disk1" gives
// "http://host/Disk1/data1.hdr"), with "\" otherwise. A separator already at
// the end of the folder is kept and not doubled; an empty folder gives
// `name`.
string MediumFilePath(const string& source_folder, const string& name);

// The policy of the run's web transfers: a silent run ("s" or "auto") never
// shows a WinInet window, and a cancel from the progress windows ends a
// waiting transfer.
web_policy WebPolicyOf(const SetupSettings& s);

// Asks the web source for the connection credentials of `header_url` once
// a response exists (the header is requested; its body is not read). False
// when it is not a web address, or the source cannot be made, opened or
// asked; `out` is then empty.
bool QueryMediumCredentials(const string& header_url, web_credentials& out);

// Makes a failed download of `url` explain itself in the failure report
// (string 2012 naming the address, then the failure code in hexadecimal):
// sets the run's FailureMessage and the thread's COM error description.
// The report masks the address's password.
void ExplainDownloadFailure(CSetup& setup, const string& url, HRESULT code);

// Fills CSetup's WebUser, WebPassword, ProxyUser and ProxyPassword from
// QueryMediumCredentials for the cabinet opening; any failure leaves them
// empty and the run goes on (the copies of the medium's files then fail
// with their own codes).
void ReadWebCredentials(CSetup& setup, const string& header_path);

}  // namespace kx
