# A webhook receiver for the alarm tests: on 127.0.0.1:PORT, refuses the first POST with 500
# and takes the rest with 204, appending each body it took as a line of OUTPUT. Runs until
# killed.
import http.server
import sys

refused = [False]


class Take(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers["Content-Length"]))
        if not refused[0]:
            refused[0] = True
            self.send_response(500)
        else:
            with open(sys.argv[2], "ab") as out:
                out.write(self.headers["Content-Type"].encode() + b" " + body + b"\n")
            self.send_response(204)
        self.end_headers()

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", int(sys.argv[1])), Take)
print("ready", flush=True)
server.serve_forever()
