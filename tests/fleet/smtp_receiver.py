# A mail server for the alarm tests: takes every message on 127.0.0.1:PORT and appends its
# Subject and Message-ID lines to OUTPUT in the order they came. Runs until killed.
import sys
import time

from aiosmtpd.controller import Controller


class Keep:
    async def handle_DATA(self, server, session, envelope):
        head = envelope.content.split(b"\r\n\r\n", 1)[0].decode("utf-8", "replace")
        fields = {}
        for line in head.split("\r\n"):
            key, _, value = line.partition(": ")
            fields[key.lower()] = value
        with open(sys.argv[2], "a", encoding="utf-8") as out:
            out.write(fields.get("message-id", "") + " " + fields.get("subject", "") + "\n")
        return "250 OK"


controller = Controller(Keep(), hostname="127.0.0.1", port=int(sys.argv[1]))
controller.start()
print("ready", flush=True)
while True:
    time.sleep(3600)
