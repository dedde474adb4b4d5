#!/usr/bin/env python3
"""The configurator in a real browser: the simulated board in utility mode,
qrv806-config on its terminal, headless Chromium driving the page. Edits an
event and a control phone, saves, checks the board's config.ini, and keeps a
screenshot of the page. Every process it starts is stopped at the end."""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

TIMEOUT_S = 60


def wait_for(what, done, timeout_s=TIMEOUT_S):
    end = time.monotonic() + timeout_s
    while time.monotonic() < end:
        try:
            if done():
                return
        except Exception:  # not there yet
            pass
        time.sleep(0.2)
    raise AssertionError('timed out waiting for ' + what)


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def stop(proc):
    if proc is None or proc.poll() is not None:
        return
    proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(timeout=20)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def browser(profile):
    opts = webdriver.ChromeOptions()
    opts.binary_location = shutil.which('chromium') or '/usr/bin/chromium'
    for arg in ('--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                '--disable-background-networking', '--disable-component-update', '--disable-sync',
                '--user-data-dir=' + profile, '--window-size=1280,1600'):
        opts.add_argument(arg)
    service = Service(shutil.which('chromedriver') or '/usr/bin/chromedriver')
    return webdriver.Chrome(service=service, options=opts)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--build', required=True)
    ap.add_argument('--screenshot', required=True)
    args = ap.parse_args()
    for tool in ('chromium', 'chromedriver'):
        if not shutil.which(tool):
            print(tool + ' is missing (scripts/install-deps.sh installs it)')
            return 77

    work = tempfile.mkdtemp(prefix='qrv806-browser-')
    root = os.path.join(work, 'root')
    term = os.path.join(root, 'term')
    port = free_port()
    url = 'http://127.0.0.1:%d/' % port
    sim = config = driver = None
    logs = {name: open(os.path.join(work, name + '.txt'), 'w') for name in ('sim', 'config')}
    try:
        # The configurator first: with no unit behind it the page says so.
        config = subprocess.Popen([os.path.join(args.build, 'qrv806-config'), term, '--listen', '127.0.0.1:%d' % port],
                                  stdout=logs['config'], stderr=subprocess.STDOUT)
        wait_for('the configurator', lambda: urllib.request.urlopen(url, timeout=2).status == 200)
        driver = browser(os.path.join(work, 'profile'))
        driver.get(url)
        banner = driver.find_element(By.ID, 'banner')
        wait_for('the no-unit banner', lambda: 'cannot open' in banner.text or 'does not answer' in banner.text)

        sim = subprocess.Popen([os.path.join(args.build, 'qrv806-sim'), 'run', '--utility', '--root', root],
                               stdout=logs['sim'], stderr=subprocess.STDOUT)
        term_tool = os.path.join(args.build, 'qrv806-term')
        wait_for('the board in utility mode', lambda: ';DEVNAME;OK;' in subprocess.run(
            [term_tool, '-t', '2', term, '@DEVNAME'], capture_output=True, text=True, timeout=20).stdout)

        driver.find_element(By.ID, 'reload').click()
        wait_for('the events table', lambda: len(driver.find_elements(By.CSS_SELECTOR, '#events tbody tr')) == 16)
        wait_for('the unit read', lambda: driver.find_element(By.ID, 'unit-model').text == 'QRV-806XK')

        # Event 3: DI1 normally open, output 0 pulsed, two phones, a UCS2 text.
        driver.find_element(By.ID, 'edit-3').click()
        Select(driver.find_element(By.ID, 'ev-kind')).select_by_value('DI')
        Select(driver.find_element(By.ID, 'ev-channel')).select_by_value('1')
        Select(driver.find_element(By.ID, 'ev-di-type')).select_by_value('NO')
        for field, value in (('ev-hold', '2000'), ('ev-reset', '100'), ('ev-do-hold', '1000'),
                             ('ev-phones', '0911111111\n0922222222'), ('ev-message', '門已開')):
            el = driver.find_element(By.ID, field)
            el.clear()
            el.send_keys(value)
        Select(driver.find_element(By.ID, 'ev-do')).select_by_visible_text('DO0_ON')
        Select(driver.find_element(By.ID, 'ev-smsdbs')).select_by_value('SMSDBS_ON')
        Select(driver.find_element(By.ID, 'ev-coding')).select_by_value('UCS2')
        # A value the unit refuses is caught in the form, before sending.
        hold = driver.find_element(By.ID, 'ev-hold')
        hold.clear()
        hold.send_keys('49')
        wait_for('the hold refused', lambda: 'hold ms' in driver.find_element(By.ID, 'ev-problem').text)
        assert not driver.find_element(By.ID, 'ev-write').is_enabled()
        hold.clear()
        hold.send_keys('2000')
        driver.find_element(By.ID, 'ev-write').click()
        wait_for('the event written', lambda: 'written' in driver.find_element(By.ID, 'ev-problem').text)
        wait_for('the table updated', lambda: '0911111111, 0922222222' in driver.find_element(
            By.CSS_SELECTOR, '#events tbody tr:nth-child(4)').text)

        ctrl = driver.find_element(By.ID, 'u-ctrl')
        ctrl.clear()
        ctrl.send_keys('0933333333')
        driver.find_element(By.ID, 'u-write').click()
        wait_for('the unit settings written', lambda: 'written' in driver.find_element(By.ID, 'u-problem').text)

        driver.find_element(By.ID, 'save').click()
        wait_for('the save', lambda: banner.text == 'Saved in the unit.')
        ini = open(os.path.join(root, 'APP', 'config.ini'), encoding='latin-1', newline='').read()
        for line in ('CtrlPhoneNo=1\r\n', 'CtrlPhone=0933333333\r\n', '3#is_event_enable=1\r\n',
                     '3#phone=0911111111,0922222222\r\n', '3#sms_mode=8\r\n', '3#msg_len=6\r\n',
                     '3#msg=95805DF2958B\r\n', '3#di[1]cIsEnable=1\r\n3#di[1]cType=4\r\n3#di[1]uiHoldTime=2000\r\n'
                     '3#di[1]uiResetTime=100\r\n', '3#iIs_do_on=1\r\n3#uiDOHoldTime=1000\r\n', '3#iIsSMSDBS=1\r\n'):
            assert line in ini, 'config.ini lacks ' + repr(line)
        # Live values follow the board.
        subprocess.run([os.path.join(args.build, 'qrv806-sim'), 'ctl', '--root', root, 'di', '4', 'on'], check=True,
                       capture_output=True, timeout=20)
        wait_for('DI4 shown on', lambda: driver.find_element(By.CSS_SELECTOR, '#live-digital td:nth-child(5)').text == '1')
        driver.find_element(By.ID, 'ev-cancel').click()
        driver.execute_script('window.scrollTo(0, 0)')
        driver.save_screenshot(args.screenshot)
        print('1 passed, 0 failed; screenshot', args.screenshot)
        return 0
    except Exception as e:  # the failure with what the tools said
        print('FAILED:', e)
        for name, f in logs.items():
            f.flush()
            print('--- %s output ---' % name)
            print(open(f.name).read()[-4000:])
        return 1
    finally:
        if driver is not None:
            driver.quit()
        stop(config)
        if sim is not None:
            subprocess.run([os.path.join(args.build, 'qrv806-sim'), 'ctl', '--root', root, 'stop'],
                           capture_output=True, timeout=30)
            try:
                sim.wait(timeout=30)
            except subprocess.TimeoutExpired:
                stop(sim)
        for f in logs.values():
            f.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
