#!/usr/bin/python3
"""A loopback FTP server for the transfer tests, on pyftpdlib's API, with
replies a healthy server does not give:

  a store into a file whose name starts with "full" ends with 552,
  a store into a file whose name starts with "fail" ends with 451,
  a retrieval of a file whose name starts with "stall" opens the data
  channel and then sends nothing,
  the listing of a folder named "garbage" is text no listing parser reads,
  the size of a file whose name starts with "nosize" is not told,
  a login starts in the folder "/home/USER" when there is one, as on a
  server that does not keep each user in a folder of their own.

Usage: ftp_faults_server.py PORT FOLDER USER PASSWORD
"""
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


class FaultyDTP(DTPHandler):
    def close(self):
        if not self._closed and self.receive and self.file_obj is not None:
            name = os.path.basename(self.file_obj.name)
            if name.startswith("full"):
                self._resp = ("552 Requested file action aborted: exceeded storage allocation.", logging.debug)
            elif name.startswith("fail"):
                self._resp = ("451 Requested action aborted: local error in processing.", logging.debug)
        DTPHandler.close(self)


class FaultyHandler(FTPHandler):
    dtp_handler = FaultyDTP

    def on_login(self, username):
        home = "/home/" + username
        if os.path.isdir(self.fs.ftp2fs(home)):
            self.fs.cwd = home

    def ftp_LIST(self, path):
        if os.path.basename(path.rstrip("/")) == "garbage":
            self.push_dtp_data(b"this is not a folder listing\r\n", cmd="LIST")
            return path
        return FTPHandler.ftp_LIST(self, path)

    def ftp_SIZE(self, path):
        if os.path.basename(path).startswith("nosize"):
            self.respond("502 Command not implemented.")
            return None
        return FTPHandler.ftp_SIZE(self, path)

    def ftp_RETR(self, file):
        if os.path.basename(file).startswith("stall"):
            # The data connection is made but nothing ever comes over it.
            self.respond("150 File status okay. About to open data connection.")
            return None
        return FTPHandler.ftp_RETR(self, file)


def main():
    port, folder, user, password = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, folder, perm="elradfmwMT")
    FaultyHandler.authorizer = authorizer
    logging.basicConfig(level=logging.WARNING)
    server = FTPServer(("127.0.0.1", port), FaultyHandler)
    server.serve_forever()


if __name__ == "__main__":
    main()
