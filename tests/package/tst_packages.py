#!/usr/bin/env python3
"""The Debian packages, as an administrator gets them.

Builds the packages from the build folder (cpack), checks them (lintian, the server's
dependencies, the systemd units), installs them into a fresh Debian 12 root made with
mmdebstrap, starts Lpr07700 there as its unit would (its user, its ExecStartPre and
ExecStart, a notification socket) and issues the price list with `suite --batch` from the
installed workstation through it; then reinstalls (as an upgrade does), removes and purges.

Needs root and mmdebstrap, lintian, dpkg-shlibdeps, systemd-analyze, unshare (exit 77, a
skip, where they are missing). The root's tarball and the packages apt downloads are kept
under BUILD/package-root, so a second run downloads nothing.

    tst_packages.py --build BUILD [--keep]
"""

import argparse
import hashlib
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request
from pathlib import Path

SKIP = 77
# Until libsuite is split in layers, Lpr07700 links the widgets library and the server
# package depends on Qt Widgets, PrintSupport and CUPS: an expected failure, said as such.
# Set to False once the split lands: the check then fails on any of them.
SERVER_DESKTOP_DEPENDENCY_EXPECTED = True
DESKTOP_PACKAGES = ("libqt6widgets6", "libqt6printsupport6", "libcups2")
MIRRORS = [
    "deb http://deb.debian.org/debian bookworm main",
    "deb http://deb.debian.org/debian bookworm-updates main",
    "deb http://deb.debian.org/debian-security bookworm-security main",
]

failures = []
timings = {}


def say(text):
    print(text, flush=True)


def check(condition, what):
    say(("ok    " if condition else "FALHA ") + what)
    if not condition:
        failures.append(what)
    return condition


def run(args, **kw):
    kw.setdefault("check", True)
    kw.setdefault("text", True)
    kw.setdefault("capture_output", True)
    try:
        return subprocess.run(args, **kw)
    except subprocess.CalledProcessError as e:
        say(f"$ {' '.join(map(str, args))}\n{e.stdout}\n{e.stderr}")
        raise


def timed(name, fn):
    start = time.monotonic()
    result = fn()
    timings[name] = time.monotonic() - start
    say(f"      {name}: {timings[name]:.1f} s")
    return result


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Root:
    """A Debian 12 root, used through chroot in a mount namespace of its own, so that what
    is mounted there (/proc, /dev) goes away with the command."""

    def __init__(self, path):
        self.path = Path(path)

    def command(self, args, user=None, env=None):
        mounts = (f"mkdir -p {self.path}/run.host && mount -t proc proc {self.path}/proc && mount --rbind /dev {self.path}/dev && "
                  f"mount -t tmpfs tmpfs {self.path}/run && mkdir -p {self.path}/run/lock {self.path}/run/host && "
                  f"mount --bind {self.path}/run.host {self.path}/run/host")
        spec = [f"--userspec={user}"] if user else []
        inner = " ".join(_quote(a) for a in ["chroot", *spec, str(self.path), *args])
        full_env = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "LANG": "C.UTF-8", "HOME": "/root"}
        full_env.update(env or {})
        return ["unshare", "--mount", "--fork", "sh", "-c", f"{mounts} && exec env -i {_env(full_env)} {inner}"]

    def run(self, args, user=None, env=None, check=True):
        return run(self.command(args, user, env), check=check)

    def file(self, path):
        return self.path / path.lstrip("/")


def _quote(text):
    return "'" + str(text).replace("'", "'\\''") + "'"


def _env(env):
    return " ".join(_quote(f"{k}={v}") for k, v in env.items())


def missing_tools():
    needed = ["cpack", "dpkg-deb", "dpkg-shlibdeps", "mmdebstrap", "lintian", "systemd-analyze", "unshare"]
    return [t for t in needed if shutil.which(t) is None]


def build_packages(build):
    out = build / "packages"
    for old in out.glob("*.deb"):
        old.unlink()
    run(["cmake", "--build", str(build), "--target", "packaged"])
    run(["cpack", "--config", str(build / "CPackConfig.cmake")], cwd=build)
    debs = {}
    for deb in out.glob("*.deb"):
        name = run(["dpkg-deb", "--field", str(deb), "Package"]).stdout.strip()
        debs[name] = deb
    return debs


def check_packages(debs):
    for name in ("suite", "lpr07700", "suite-tools"):
        if not check(name in debs, f"o pacote {name} foi gerado"):
            return
    for name, deb in sorted(debs.items()):
        say(f"      {deb.name}: {deb.stat().st_size / 1024:.0f} KiB")
    depends = run(["dpkg-deb", "--field", str(debs["lpr07700"]), "Depends"]).stdout
    desktop = [p for p in DESKTOP_PACKAGES if re.search(rf"\b{re.escape(p)}\b", depends)]
    if SERVER_DESKTOP_DEPENDENCY_EXPECTED:
        if desktop:
            say(f"XFAIL o servidor ainda depende de {', '.join(desktop)} (libsuite ainda não foi dividida)")
        else:
            check(False, "XPASS: o servidor não depende mais de Widgets/PrintSupport/CUPS: "
                         "mude SERVER_DESKTOP_DEPENDENCY_EXPECTED para False")
    else:
        check(not desktop, f"o servidor não depende de Qt Widgets, PrintSupport nem CUPS ({depends.strip()})")
    check("libqt6core6" in depends and "libssl3" in depends,
          "as dependências do servidor vêm do dpkg-shlibdeps (libqt6core6, libssl3)")
    result = timed("lintian", lambda: run(["lintian", "--tag-display-limit", "0", *map(str, debs.values())],
                                          check=False))
    errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
    for line in (result.stdout + result.stderr).splitlines():
        say(f"      {line}")
    check(not errors, "o lintian não acha erro nos pacotes")


def base_tarball(cache):
    tarball = cache / "bookworm.tar"
    if not tarball.exists():
        partial = cache / "bookworm.tar.part"
        timed("mmdebstrap (raiz nova do Debian 12)",
              lambda: run(["mmdebstrap", "--quiet", "--variant=apt", "--mode=root", "--format=tar",
                           "--dpkgopt=force-unsafe-io",
                           "bookworm", str(partial), *MIRRORS]))
        partial.rename(tarball)
    return tarball


def install(root, cache, debs):
    archives = cache / "apt-archives"
    archives.mkdir(exist_ok=True)
    target = root.file("/var/cache/apt/archives")
    target.mkdir(parents=True, exist_ok=True)
    for deb in archives.glob("*.deb"):
        shutil.copy2(deb, target)
    staged = root.file("/tmp/pacotes")
    staged.mkdir(parents=True, exist_ok=True)
    for deb in debs.values():
        shutil.copy2(deb, staged)
    env = {"DEBIAN_FRONTEND": "noninteractive"}
    # The root is thrown away: dpkg need not wait for each file to reach the disk.
    root.file("/etc/dpkg/dpkg.cfg.d/unsafe-io").write_text("force-unsafe-io\n")
    root.run(["apt-get", "update", "-qq"], env=env)
    # A server has systemd: the maintainer scripts enable the unit with its helpers, and the
    # units are verified against its targets.
    timed("systemd na raiz nova", lambda: root.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends",
                                                    "systemd"], env=env))
    timed("instalação dos três pacotes na raiz nova (apt-get install)",
          lambda: root.run(["apt-get", "install", "-y", "-qq", "--no-install-recommends",
                            *[f"/tmp/pacotes/{d.name}" for d in debs.values()]], env=env))
    check(root.file("/etc/systemd/system/multi-user.target.wants/lpr07700.service").is_symlink(),
          "a instalação habilita lpr07700.service")
    for deb in target.glob("*.deb"):
        if not (archives / deb.name).exists():
            shutil.copy2(deb, archives)


def set_keys(path, section, values):
    """Sets keys of an INI section in place, as an administrator edits it."""
    lines = path.read_text().splitlines()
    current, seen, out = None, set(), []
    for line in lines:
        m = re.match(r"\s*\[(.+)\]", line)
        if m:
            if current == section:
                out += [f"{k}={v}" for k, v in values.items() if k not in seen]
            current = m.group(1)
        else:
            key = line.split("=", 1)[0].strip()
            if current == section and "=" in line and not line.lstrip().startswith(";") and key in values:
                line = f"{key}={values[key]}"
                seen.add(key)
        out.append(line)
    if current == section:
        out += [f"{k}={v}" for k, v in values.items() if k not in seen]
    path.write_text("\n".join(out) + "\n")


def ini_value(path, key):
    for line in path.read_text().splitlines():
        if line.startswith(key + "="):
            return line.split("=", 1)[1].strip()
    return ""


def unit_command(unit, key):
    for line in unit.read_text().splitlines():
        if line.startswith(key + "="):
            return line.split("=", 1)[1].split()
    return []


class Notifications(threading.Thread):
    """The service manager's side of the notification socket."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.sock.bind(str(path))
        os.chmod(path, 0o777)
        self.sock.settimeout(0.2)
        self.messages = []
        self.stop = False
        self.start()

    def run(self):
        while not self.stop:
            try:
                self.messages.append(self.sock.recv(4096).decode())
            except socket.timeout:
                pass

    def wait_for(self, text, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if any(text in m for m in self.messages):
                return True
            time.sleep(0.05)
        return False


def child_of(pid):
    try:
        children = Path(f"/proc/{pid}/task/{pid}/children").read_text().split()
        return int(children[0]) if children else None
    except OSError:
        return None


def fetch(url):
    try:
        with urllib.request.urlopen(url, timeout=5) as r:
            return r.status, r.read().decode()
    except urllib.error.HTTPError as e:
        return e.code, ""


def metric(page, name, labels=""):
    m = re.search(rf"^{re.escape(name)}{re.escape(labels)} (\S+)$", page, re.M)
    return float(m.group(1)) if m else None


def serve_and_issue(root):
    """The installed server started with its unit's command line; the installed workstation
    issues the price list through it."""
    unit = root.file("/lib/systemd/system/lpr07700.service")
    pre, start = unit_command(unit, "ExecStartPre"), unit_command(unit, "ExecStart")
    user = unit_command(unit, "User")[0]
    port, metrics_port = free_port(), free_port()
    conf = root.file("/etc/suite/lpr07700.ini")
    check(oct(conf.stat().st_mode & 0o777) == "0o640", "/etc/suite/lpr07700.ini tem modo 0640")
    root.run(["install", "-d", "-m", "0755", "/srv/compras"])
    root.run(["gerabase", "--out", "/srv/compras/suite.db", "--products", "300", "--suppliers", "40"])
    root.run(["chmod", "0644", "/srv/compras/suite.db"])
    set_keys(conf, "BancoDados", {"Driver": "QSQLITE", "Banco": "/srv/compras/suite.db"})
    set_keys(conf, "ServidorAplicacao", {"Escuta": "127.0.0.1", "Porta": port, "Metricas": f"127.0.0.1:{metrics_port}"})
    checked = root.run(pre, user=f"{user}:{user}", check=False)
    check(checked.returncode == 0, f"ExecStartPre ({' '.join(pre)}) aceita a configuração: {checked.stdout}{checked.stderr}")

    host_run = root.file("/run.host")
    host_run.mkdir(exist_ok=True)
    notify_path = host_run / "notify"
    if notify_path.exists():
        notify_path.unlink()
    notes = Notifications(notify_path)
    log = open(root.file("/tmp/lpr07700.log"), "w")
    server = subprocess.Popen(root.command(start, user=f"{user}:{user}", env={"NOTIFY_SOCKET": "/run/host/notify"}),
                              stdout=log, stderr=subprocess.STDOUT)
    try:
        ready = check(notes.wait_for("READY=1", 60), "o servidor avisa que está pronto (READY=1 no NOTIFY_SOCKET)")
        if not ready:
            return
        status, body = fetch(f"http://127.0.0.1:{metrics_port}/health")
        check(status == 200 and body == "ok\n", f"/health responde 200 ({status} {body!r})")

        workstation = root.file("/etc/suite/suite.ini")
        root.run(["useradd", "--create-home", "comprador"])
        first = root.run(["suite", "--batch", "LPR07731", "--save", "/home/comprador/lista.pdf"],
                         user="comprador:comprador", env={"HOME": "/home/comprador"}, check=False)
        check(first.returncode != 0 and "/usr/share/suite/suite.ini.modelo" in first.stderr
              and "[ServidorAplicacao]" in first.stderr and "[BancoDados]" in first.stderr,
              f"sem arquivo de sessão, a estação diz o que preencher e onde: {first.stderr.strip()}")
        shutil.copy(root.file("/usr/share/suite/suite.ini.modelo"), workstation)
        set_keys(workstation, "BancoDados", {"Driver": "QSQLITE", "Banco": "/srv/compras/suite.db"})
        set_keys(workstation, "ServidorAplicacao", {
            "Host": "127.0.0.1", "Porta": port, "Token": ini_value(conf, "Token"),
            "ImpressaoDigital": ini_value(conf, "ImpressaoDigital")})
        modules = root.run(["suite", "--modules"], user="comprador:comprador", env={"HOME": "/home/comprador"},
                           check=False)
        check(modules.returncode == 0 and "/usr/lib/suite/modules/libLpr07731.so" in modules.stdout,
              f"a estação acha os módulos instalados: {modules.stdout.strip()} {modules.stderr.strip()}")
        issued = timed("suite --batch pela raiz nova",
                       lambda: root.run(["suite", "--batch", "LPR07731", "--save", "/home/comprador/lista.pdf"],
                                        user="comprador:comprador", env={"HOME": "/home/comprador"}, check=False))
        pdf = root.file("/home/comprador/lista.pdf")
        check(issued.returncode == 0 and pdf.exists() and pdf.read_bytes()[:5] == b"%PDF-",
              f"suite --batch emite a lista de preços pelo servidor instalado: {issued.stdout}{issued.stderr}")
        _, page = fetch(f"http://127.0.0.1:{metrics_port}/metrics")
        calls = metric(page, "lpr07700_calls_total", '{method="GetFornecedor"}')
        check(calls is not None and calls >= 1, f"as métricas contam a chamada da estação (GetFornecedor: {calls})")
    finally:
        # unshare's child is the server itself (each step execs the next): the signal goes
        # to it, and unshare exits with its status.
        pid = child_of(server.pid)
        os.kill(pid or server.pid, signal.SIGTERM)
        try:
            server.wait(10)
        except subprocess.TimeoutExpired:
            if pid:
                os.kill(pid, signal.SIGKILL)
            server.kill()
            server.wait()
        notes.stop = True
        log.close()
    check(server.returncode == 0, f"o servidor sai com 0 ao receber SIGTERM ({server.returncode})")
    check(any("STOPPING=1" in m for m in notes.messages), "o servidor avisa que está encerrando (STOPPING=1)")
    say("      log do servidor:\n" + root.file("/tmp/lpr07700.log").read_text())


def check_units(root):
    for unit in ("lpr07700.service", "lpr07700@.service"):
        path = root.file(f"/lib/systemd/system/{unit}")
        target = path if "@." not in unit else path.with_name("lpr07700@teste.service")
        if target != path:
            shutil.copy(path, target)
        result = run(["systemd-analyze", "verify", "--man=no", f"--root={root.path}",
                      f"/lib/systemd/system/{target.name}"], check=False)
        check(result.returncode == 0 and not result.stderr.strip(),
              f"systemd-analyze verify {unit}: {result.stdout}{result.stderr}".strip())
        if target != path:
            target.unlink()
    security = run(["systemd-analyze", "security", "--offline=yes", f"--root={root.path}",
                    "/lib/systemd/system/lpr07700.service"], check=False)
    m = re.search(r"Overall exposure level for \S+: (\S+) (\S+)", security.stdout)
    say(f"      systemd-analyze security: {m.group(1) + ' ' + m.group(2) if m else security.stdout + security.stderr}")
    check(m is not None and float(m.group(1)) < 4.0 and m.group(2).startswith("OK"),
          "systemd-analyze security dá ao serviço exposição OK ou melhor")


def digest(path):
    return hashlib.sha256(path.read_bytes()).hexdigest() if path.exists() else None


def upgrade_remove_purge(root, debs):
    kept = [root.file(f"/etc/suite/{f}") for f in ("lpr07700.ini", "lpr07700.key", "lpr07700.crt")]
    before = [digest(p) for p in kept]
    sets = root.file("/home/comprador/.config/Suite/conjuntos/LPR07731/meu.json")
    sets.parent.mkdir(parents=True, exist_ok=True)
    sets.write_text('{"formato": 1}\n')
    env = {"DEBIAN_FRONTEND": "noninteractive"}
    root.run(["dpkg", "-i", *[f"/tmp/pacotes/{d.name}" for d in debs.values()]], env=env)
    check([digest(p) for p in kept] == before, "reinstalar (como uma atualização) mantém configuração, chave e certificado")
    root.run(["apt-get", "remove", "-y", "-qq", "lpr07700", "suite"], env=env)
    check(all(p.exists() for p in kept), "remove deixa /etc/suite/lpr07700.ini, a chave e o certificado")
    check(sets.exists(), "remove deixa os conjuntos do usuário")
    root.run(["apt-get", "purge", "-y", "-qq", "lpr07700"], env=env)
    check(not any(p.exists() for p in kept), "purge apaga a configuração, a chave e o certificado do servidor")
    check(root.file("/etc/suite/suite.ini").exists(), "purge do servidor deixa a sessão da estação")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--keep", action="store_true", help="keep the installed root afterwards")
    args = parser.parse_args()
    build = args.build.resolve()
    missing = missing_tools()
    if os.geteuid() != 0 or missing:
        say(f"SKIP: precisa de root e de {', '.join(missing) or 'nada mais'} (scripts/setup.sh instala)")
        return SKIP
    total = time.monotonic()
    debs = timed("cpack (os três pacotes)", lambda: build_packages(build))
    check_packages(debs)
    if len(debs) < 3:
        return 1
    cache = build / "package-root"
    cache.mkdir(exist_ok=True)
    tarball = base_tarball(cache)
    root = Root(cache / "root")
    if root.path.exists():
        shutil.rmtree(root.path)
    root.path.mkdir()
    run(["tar", "-xf", str(tarball), "-C", str(root.path)])
    install(root, cache, debs)
    check_units(root)
    serve_and_issue(root)
    upgrade_remove_purge(root, debs)
    if not args.keep:
        shutil.rmtree(root.path)
    say(f"      total: {time.monotonic() - total:.1f} s")
    if failures:
        say(f"{len(failures)} falhas:\n  " + "\n  ".join(failures))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
