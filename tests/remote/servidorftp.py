#!/usr/bin/python3
"""An FTP server on 127.0.0.1 for the tests of remote machines.

Serves one folder to one user with a password, on a free port it prints as
"PUERTO n" once it listens. Options make it a faulty server:
  --tls CERT KEY     explicit TLS required on control and data connections
  --corrompe         every download has its first byte changed
  --muere-tras N     the process dies once an upload has received N bytes
  --sin-mlsd         answers MLSD with 500, as old controls do (LIST only)
"""
import argparse
import io
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--carpeta", required=True)
    p.add_argument("--usuario", required=True)
    p.add_argument("--clave", required=True)
    p.add_argument("--tls", nargs=2)
    p.add_argument("--corrompe", action="store_true")
    p.add_argument("--muere-tras", type=int, default=-1)
    p.add_argument("--sin-mlsd", action="store_true")
    a = p.parse_args()

    class Escritura:
        def __init__(self, f):
            self.f = f
            self.name = f.name
            self.closed = False

        def write(self, datos):
            self.f.write(datos)
            if a.muere_tras >= 0 and self.f.tell() >= a.muere_tras:
                self.f.flush()
                os._exit(3)
            return len(datos)

        def close(self):
            self.closed = True
            self.f.close()

    class Sistema(AbstractedFS):
        def open(self, filename, mode):
            f = super().open(filename, mode)
            if "r" in mode and a.corrompe:
                datos = bytearray(f.read())
                f.close()
                if datos:
                    datos[0] ^= 0x20
                b = io.BytesIO(bytes(datos))
                b.name = filename
                return b
            if ("w" in mode or "a" in mode) and a.muere_tras >= 0:
                return Escritura(f)
            return f

    autorizador = DummyAuthorizer()
    autorizador.add_user(a.usuario, a.clave, a.carpeta, perm="elradfmwMT")
    if a.tls:
        from pyftpdlib.handlers import TLS_FTPHandler
        base = TLS_FTPHandler
        from OpenSSL import SSL
        contexto = SSL.Context(SSL.TLS_SERVER_METHOD)
        contexto.use_certificate_chain_file(a.tls[0])
        contexto.use_privatekey_file(a.tls[1])
        # Clients resume the control connection's TLS session on the data
        # connections; OpenSSL refuses that without a session id context.
        contexto.set_session_id(b"keldan")
        base.ssl_context = contexto
        base.certfile = a.tls[0]
        base.keyfile = a.tls[1]
        base.tls_control_required = True
        base.tls_data_required = True
    else:
        base = FTPHandler

    class Manejador(base):
        pass

    if a.tls:
        from pyftpdlib.handlers import TLS_DTPHandler

        class DatosTls(TLS_DTPHandler):
            # pyftpdlib closes a data connection that is readable before its
            # command came; a TLS client shakes hands on it at once (curl).
            def readable(self):
                return self._ssl_accepting or super().readable()

        Manejador.dtp_handler = DatosTls

    if a.sin_mlsd:
        def ftp_MLSD(self, path):
            self.respond("500 Command \"MLSD\" not understood.")
        Manejador.ftp_MLSD = ftp_MLSD
    Manejador.authorizer = autorizador
    Manejador.abstracted_fs = Sistema
    Manejador.use_sendfile = False
    Manejador.passive_ports = None
    servidor = FTPServer(("127.0.0.1", 0), Manejador)
    print("PUERTO", servidor.socket.getsockname()[1], flush=True)
    servidor.serve_forever(handle_exit=True)


if __name__ == "__main__":
    sys.exit(main())
