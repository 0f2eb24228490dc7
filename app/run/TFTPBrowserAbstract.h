// The part of the FTP browser that windows about its entries call back.
#pragma once
#include "TBrowserUnit.h"
#include "TFTPUnit.h"

class TFTPBrowserAbstract : public TBrowser {
 public:
  // Renames the entry on the server to the new name (UTF-8).
  virtual void Rename(FTPDirectoryListingPtr, const Str63&) {}
};
