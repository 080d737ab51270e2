"""What the load runs need of the network: a free port on 127.0.0.1 and a wait for a server to answer."""

import socket
import time
import urllib.request


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(url, timeout=10):
    """The body of the first answer from url; fails when nothing answers within timeout seconds."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        try:
            with urllib.request.urlopen(url, timeout=2) as reply:
                return reply.read()
        except OSError:
            time.sleep(0.1)
    raise RuntimeError("nothing answers at " + url)
